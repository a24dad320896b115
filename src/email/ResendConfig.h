#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What Config.plist tells the e-mail service.
struct ResendConfig
{
    QString apiKey;  // "ResendAPIKey", sent as the bearer token; may be empty
    QString baseUrl; // "ResendAPIBaseURL", or the provider's own address when absent
};

inline constexpr char defaultResendBaseUrl[] = "https://api.resend.com";

// The places Config.plist is looked for, in order: beside the executable, then
// ../share/nimbrel/ (installed layout), ../Resources/ (application bundle),
// $XDG_CONFIG_HOME/nimbrel/ (default ~/.config/nimbrel/) and /etc/nimbrel/.
QStringList configPlistCandidates(const QString &applicationDir);

// The first candidate that is an existing file.
std::optional<QString> findConfigPlist(const QString &applicationDir);

// Reads an XML or binary property list of at most 1 MiB. Empty when the file
// cannot be read, its root is not a dictionary, "ResendAPIKey" is absent or
// not a string, or a string read holds a NUL or invalid UTF-8.
// A "ResendAPIBaseURL" that is not a string yields an empty base URL, which the
// service refuses to send to.
std::optional<ResendConfig> readResendConfig(const QString &plistPath);

// Finds and reads Config.plist for the running application; when that fails,
// prints the one fatal message on standard error and ends the process.
ResendConfig loadResendConfigOrStop();
