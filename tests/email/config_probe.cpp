// Child process for the Config.plist tests: builds the service exactly as the
// application does (which may end the process), then prints "ready".
#include "ResendService.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ResendService service;
    std::puts("ready");
    return 0;
}
