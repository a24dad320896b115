#pragma once

#include <QLoggingCategory>

// The e-mail service's messages: QT_LOGGING_RULES="nimbrel.email.debug=true" and the like.
Q_DECLARE_LOGGING_CATEGORY(nimbrelEmail)
