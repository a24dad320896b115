#include "EmailLog.h"

Q_LOGGING_CATEGORY(nimbrelEmail, "nimbrel.email")
