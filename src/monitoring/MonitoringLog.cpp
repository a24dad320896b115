#include "MonitoringLog.h"

Q_LOGGING_CATEGORY(nimbrelMonitoring, "nimbrel.monitoring")
