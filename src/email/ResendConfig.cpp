// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResendConfig.h"

#include "EmailLog.h"

#include "BinaryPlistStrings.h"
#include "EmailAddress.h"
#include "NoCoreDumps.h"
#include "ResendEndpoint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStringDecoder>

#include <plist/plist.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// A configuration file is a few hundred bytes; anything this large is not one.
constexpr qint64 maxConfigBytes = 1 << 20;

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Read with its length: a binary list can hold a string with a NUL inside,
// which libplist's copying getter asserts on. Such a string, or one that is
// not valid UTF-8, is no usable value.
std::optional<QString> stringValue(plist_t node)
{
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char *raw = plist_get_string_ptr(node, &length);
    if (raw == nullptr || length > uint64_t(maxConfigBytes))
        return std::nullopt;
    const QByteArrayView bytes(raw, qsizetype(length));
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString value = decode(bytes);
    if (bytes.contains('\0') || decode.hasError())
        return std::nullopt;
    return value;
}

// At most limit + 1 bytes of a regular file. Opened without blocking, so a FIFO
// or a device planted as Config.plist is refused instead of waited on; read
// one byte past the limit rather than trusting the size, since files in /proc
// report 0 and can yield gigabytes.
std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat status = {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    // In pieces: a configuration is small, and a size of 0 may hide gigabytes.
    QByteArray bytes;
    char piece[64 * 1024];
    while (bytes.size() <= limit) {
        const ssize_t got =
            ::read(fd, piece, size_t(std::min<qint64>(sizeof piece, limit + 1 - bytes.size())));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        bytes.append(piece, got);
    }
    return bytes;
}

// The relay holds the provider's key, so a file naming both is a mistake
// that could hand the key to the candidate.
void readRelaySettings(plist_t root, const QString &relayUrl, bool hasApiKey,
                       ResendConfig &config)
{
    config.relayUrl = relayUrl;
    config.sessionCode =
        stringValue(plist_dict_get_item(root, "SessionCode")).value_or(QString()).trimmed();
    if (std::holds_alternative<EmailError>(emailsEndpoint(relayUrl)))
        config.invalidSetting = QCoreApplication::translate(
            "Nimbrel", "RelayURL must be the relay's https:// address (plain http:// only to "
                       "this machine).");
    else if (hasApiKey)
        config.invalidSetting = QCoreApplication::translate(
            "Nimbrel", "it names both ResendAPIKey and RelayURL; with a relay, the relay holds "
                       "the provider's key: remove ResendAPIKey.");
    else if (config.sessionCode.isEmpty())
        config.invalidSetting = QCoreApplication::translate(
            "Nimbrel", "RelayURL needs the SessionCode the interviewer gave for this interview.");
}

} // namespace

// The one fatal message is the program's documented output, printed as it
// stands rather than through a logging category that would prefix it.
void printMissingKeyMessage()
{
    std::fflush(stdout);
    std::fputs("Nimbrel/ResendService: Fatal error: Could not find API key in Config.plist file\n",
               stderr);
    std::fflush(stderr);
}

QString configProblemText(const ConfigProblem &problem)
{
    if (problem.unusableFile && !problem.invalidSetting.isEmpty())
        return QCoreApplication::translate("Nimbrel", "%1 cannot be used: %2")
            .arg(*problem.unusableFile, problem.invalidSetting);
    if (problem.unusableFile && problem.unreadable)
        return QCoreApplication::translate(
                   "Nimbrel",
                   "%1 cannot be read by this user (permission denied). A Config.plist shared "
                   "by several users belongs to root and the group nimbrel, mode 0640: ask an "
                   "administrator to add you to that group (sudo adduser %2 nimbrel), then log "
                   "in again. Or keep a Config.plist of your own in ~/.config/nimbrel/.")
            .arg(*problem.unusableFile, qEnvironmentVariable("USER", QStringLiteral("USER")));
    if (problem.unusableFile)
        return QCoreApplication::translate("Nimbrel",
                                           "%1 cannot be used: it must be a property list of at "
                                           "most 1 MiB holding the provider's API key as the "
                                           "string \"ResendAPIKey\".")
            .arg(*problem.unusableFile);
    return QCoreApplication::translate("Nimbrel", "No Config.plist was found. It holds the e-mail "
                                                  "provider's API key (\"ResendAPIKey\"); see "
                                                  "Config.plist.example.");
}

QString installedBinDir()
{
    return QStringLiteral(NIMBREL_INSTALL_BINDIR);
}

QStringList configPlistCandidates(const QString &applicationDir)
{
    const QDir dir(applicationDir);
    QStringList candidates;
    // An installed program has no folder of its own to read: /usr/bin and
    // /usr/Resources hold no configuration.
    if (QDir::cleanPath(applicationDir) != installedBinDir()) {
        candidates = {
            QDir::cleanPath(dir.filePath(QStringLiteral("Config.plist"))),
            QDir::cleanPath(dir.filePath(QStringLiteral("../share/nimbrel/Config.plist"))),
            QDir::cleanPath(dir.filePath(QStringLiteral("../Resources/Config.plist"))),
        };
    }
    // $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
    const QString userConfig =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!userConfig.isEmpty())
        candidates.append(QDir::cleanPath(userConfig + QStringLiteral("/nimbrel/Config.plist")));
    candidates.append(QStringLiteral("/etc/nimbrel/Config.plist"));
    return candidates;
}

std::optional<QString> findConfigPlist(const QString &applicationDir)
{
    for (const QString &candidate : configPlistCandidates(applicationDir)) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return std::nullopt;
}

std::optional<ResendConfig> readResendConfig(const QString &plistPath)
{
    const std::optional<QByteArray> bytes = readRegularFile(plistPath, maxConfigBytes);
    if (!bytes || bytes->size() > maxConfigBytes)
        return std::nullopt;
    // XML cannot carry a NUL at all; a binary list can, and libplist would cut
    // the string there.
    if (bytes->startsWith("bplist") && !binaryPlistStringsFreeOfNul(*bytes))
        return std::nullopt;

    plist_t rawRoot = nullptr;
    plist_from_memory(bytes->constData(), static_cast<uint32_t>(bytes->size()), &rawRoot);
    const PlistPtr root(rawRoot);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;

    const std::optional<QString> apiKey =
        stringValue(plist_dict_get_item(root.get(), "ResendAPIKey"));
    const std::optional<QString> relayUrl =
        stringValue(plist_dict_get_item(root.get(), "RelayURL"));
    if (!apiKey && !relayUrl)
        return std::nullopt;

    ResendConfig config{apiKey.value_or(QString()), QString::fromLatin1(defaultResendBaseUrl)};
    if (relayUrl)
        readRelaySettings(root.get(), *relayUrl, apiKey.has_value(), config);
    if (plist_t policy = plist_dict_get_item(root.get(), "ScanResultsEmails")) {
        const std::optional<QString> value = stringValue(policy);
        if (value == QLatin1String("OnChange"))
            config.scanResultsEmails = ScanResultsEmails::OnChange;
        else if (value != QLatin1String("EveryScan"))
            // The default loses no notice, so a typo costs e-mails, never information.
            qCWarning(nimbrelEmail, "ScanResultsEmails in Config.plist is neither EveryScan nor "
                                    "OnChange; using EveryScan");
    }
    if (plist_t sender = plist_dict_get_item(root.get(), "SenderAddress")) {
        config.senderAddress = stringValue(sender).value_or(QString());
        if (!isEmailAddress(config.senderAddress))
            config.invalidSetting = QCoreApplication::translate(
                "Nimbrel", "SenderAddress must be an e-mail address at a domain verified with the "
                           "e-mail provider, as name@example.com or Name <name@example.com>.");
    }
    if (plist_t minutes = plist_dict_get_item(root.get(), "StatusEmailMinutes")) {
        uint64_t value = 0;
        if (plist_get_node_type(minutes) == PLIST_UINT)
            plist_get_uint_val(minutes, &value);
        if (plist_get_node_type(minutes) != PLIST_UINT || value > 24 * 60)
            config.invalidSetting = QCoreApplication::translate(
                "Nimbrel", "StatusEmailMinutes must be an integer of minutes from 0 (no status "
                           "e-mails) to 1440.");
        else
            config.statusEmailMinutes = int(value);
    }
    if (plist_t baseUrl = plist_dict_get_item(root.get(), "ResendAPIBaseURL")) {
        // Another type reads as empty, which no send accepts; a string with a
        // NUL would be cut short silently, so it makes the file unusable.
        if (plist_get_node_type(baseUrl) == PLIST_STRING && !stringValue(baseUrl))
            return std::nullopt;
        config.baseUrl = stringValue(baseUrl).value_or(QString());
    }
    return config;
}

std::variant<ResendConfig, ConfigProblem> loadResendConfig(const QString &givenFile)
{
    // The key is about to enter this process.
    keepOutOfCoreDumps();
    const QString applicationDir = QCoreApplication::applicationDirPath();
    const QStringList searched =
        givenFile.isEmpty() ? configPlistCandidates(applicationDir) : QStringList{givenFile};
    std::optional<QString> path;
    if (givenFile.isEmpty())
        path = findConfigPlist(applicationDir);
    else if (QFileInfo::exists(givenFile))
        path = givenFile;
    if (!path)
        return ConfigProblem{std::nullopt, false, searched};
    if (std::optional<ResendConfig> config = readResendConfig(*path)) {
        if (config->invalidSetting.isEmpty())
            return *config;
        const ConfigProblem problem{*path, false, searched, config->invalidSetting};
        qCWarning(nimbrelEmail).noquote() << configProblemText(problem);
        return problem;
    }
    const bool unreadable =
        ::access(QFile::encodeName(*path).constData(), R_OK) != 0 && errno == EACCES;
    const ConfigProblem problem{*path, unreadable, searched};
    // Said at once: the one fatal message that follows cannot tell this apart.
    if (problem.unreadable)
        qCWarning(nimbrelEmail).noquote() << configProblemText(problem);
    return problem;
}
