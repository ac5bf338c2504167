#pragma once

#include "monitoring/Monitor.h"

class AppContext;

// The schedule's times and the upload history, as the monitor reads them.
MonitorSources stationSources(AppContext &ctx);
