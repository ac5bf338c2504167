#pragma once

class AppController;
class QApplication;
class QWidget;
class TerminationSignals;

// Termination signals, SIGHUP and the end of the desktop session close the window the orderly way,
// and the closing lines are written whatever way the application ends.
void connectOrderlyShutdown(QApplication &app, QWidget &window, AppController &controller,
                            TerminationSignals &termination);
