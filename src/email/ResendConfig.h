// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// When monitoring e-mails what a scan found: after every scan that found
// something, or, for the ticks of a monitoring run, only when the set of lines
// differs from the one last e-mailed in that run (a manual scan always e-mails).
enum class ScanResultsEmails { EveryScan, OnChange };

// What Config.plist tells Nimbrel.
struct ResendConfig
{
    QString apiKey;  // "ResendAPIKey", sent as the bearer token; may be empty
    QString baseUrl; // "ResendAPIBaseURL", or the provider's own address when absent
    ScanResultsEmails scanResultsEmails = ScanResultsEmails::EveryScan; // "ScanResultsEmails"
    // "SenderAddress": the address e-mails come from; empty for the provider's
    // shared onboarding sender, which reaches only the account's own address.
    QString senderAddress{};
    // "StatusEmailMinutes": a status e-mail this often while monitoring; 0: none.
    int statusEmailMinutes = 0;
    // "RelayURL" and "SessionCode": the organisation's relay, which holds the
    // provider's key, and the code the interviewer gave for this session. With
    // a relay there is no "ResendAPIKey".
    QString relayUrl{};
    QString sessionCode{};
    // What is wrong with a setting whose value cannot be used, if one's is.
    QString invalidSetting{};
};

// Why no usable Config.plist was found, for a message that helps mend it.
struct ConfigProblem
{
    std::optional<QString> unusableFile; // found, but not a usable property list
    bool unreadable = false;             // that file is one this user may not read
    QStringList searched;                // every place looked at, in order
    QString invalidSetting{};            // a setting of that file that cannot be used, and why
};

// What is wrong and how to mend it, in a sentence or two.
QString configProblemText(const ConfigProblem &problem);

inline constexpr char defaultResendBaseUrl[] = "https://api.resend.com";

// The places Config.plist is looked for, in order. A program run from where it
// was built or unpacked reads the file beside the executable, then
// ../share/nimbrel/, ../Resources/ (application bundle); then, as an installed
// program (run from installedBinDir) does alone, the user's configuration,
// $XDG_CONFIG_HOME/nimbrel/ (default ~/.config/nimbrel/), before the system's,
// /etc/nimbrel/.
QStringList configPlistCandidates(const QString &applicationDir);

// Where `cmake --install` and the package put the programs.
QString installedBinDir();

// The first candidate that is an existing file.
std::optional<QString> findConfigPlist(const QString &applicationDir);

// Reads an XML or binary property list of at most 1 MiB from a regular file,
// never waiting on a FIFO or device. Empty when the file cannot be read, its
// root is not a dictionary, neither "ResendAPIKey" nor "RelayURL" is a string, any
// string holds a NUL, or a string read holds invalid UTF-8. A "SenderAddress"
// that is no e-mail address or a "StatusEmailMinutes" that is no whole number
// of minutes from 0 to a day sets invalidSetting, as do a relay without a
// "SessionCode" and a relay beside a "ResendAPIKey".
// A "ResendAPIBaseURL" that is not a string yields an empty base URL, which the
// service refuses to send to.
std::optional<ResendConfig> readResendConfig(const QString &plistPath);

// Finds and reads Config.plist for the running application, or reads the file
// given, which alone is then looked at. From then on the application holds the
// key: it writes no core file and cannot be attached to.
std::variant<ResendConfig, ConfigProblem> loadResendConfig(const QString &givenFile = {});

// The one fatal message, on standard error.
void printMissingKeyMessage();
