// Child process for the Config.plist tests: builds the service exactly as the
// application does (which may end the process), prints "ready", and with
// --send prints the outcome of one send.
#include "ResendService.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ResendService service;
    std::puts("ready");
    if (app.arguments().contains(QStringLiteral("--send"))) {
        service.sendEmail(QStringLiteral("a@example.com"), QStringLiteral("s"), QStringLiteral("h"),
                          std::nullopt, [](bool success, std::optional<EmailError> error) {
                              std::printf("sent %d %s\n", int(success),
                                          error ? qPrintable(error->description) : "no error");
                          });
    }
    return 0;
}
