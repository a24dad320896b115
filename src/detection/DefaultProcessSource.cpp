#include "ScanPass.h"

#ifdef Q_OS_LINUX
#include "ProcProcessSource.h"
#else
#include "PsProcessSource.h"
#endif

std::unique_ptr<ProcessSource> defaultProcessSource()
{
#ifdef Q_OS_LINUX
    // `ps` cuts names to 15 characters on Linux; /proc has them whole.
    return std::make_unique<ProcProcessSource>();
#else
    return std::make_unique<PsProcessSource>();
#endif
}
