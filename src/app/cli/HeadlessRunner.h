#pragma once

class QCoreApplication;
struct Platform;

// "--headless": the scheduler without a window, until SIGTERM or SIGINT closes it the orderly
// way. Returns the exit status.
int runHeadless(QCoreApplication &app, Platform &platform);
