#include "ResendConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <plist/plist.h>

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

std::optional<QString> stringValue(plist_t node)
{
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    char *raw = nullptr;
    plist_get_string_val(node, &raw);
    const QString value = QString::fromUtf8(raw);
    std::free(raw);
    return value;
}

[[noreturn]] void stopWithMissingKey()
{
    std::fflush(stdout);
    std::fputs("Nimbrel/ResendService: Fatal error: Could not find API key in Config.plist file\n",
               stderr);
    std::fflush(stderr);
    // _Exit: no core dump, and no static destructors running under a live window.
    std::_Exit(EXIT_FAILURE);
}

} // namespace

QStringList configPlistCandidates(const QString &applicationDir)
{
    const QDir dir(applicationDir);
    return {
        QDir::cleanPath(dir.filePath(QStringLiteral("Config.plist"))),
        QDir::cleanPath(dir.filePath(QStringLiteral("../share/nimbrel/Config.plist"))),
        QDir::cleanPath(dir.filePath(QStringLiteral("../Resources/Config.plist"))),
    };
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
    QFile file(plistPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxConfigBytes)
        return std::nullopt;
    const QByteArray bytes = file.readAll();

    plist_t rawRoot = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &rawRoot);
    const PlistPtr root(rawRoot);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;

    const std::optional<QString> apiKey =
        stringValue(plist_dict_get_item(root.get(), "ResendAPIKey"));
    if (!apiKey)
        return std::nullopt;

    ResendConfig config{*apiKey, QString::fromLatin1(defaultResendBaseUrl)};
    if (plist_t baseUrl = plist_dict_get_item(root.get(), "ResendAPIBaseURL"))
        config.baseUrl = stringValue(baseUrl).value_or(QString());
    return config;
}

ResendConfig loadResendConfigOrStop()
{
    const std::optional<QString> path = findConfigPlist(QCoreApplication::applicationDirPath());
    if (!path)
        stopWithMissingKey();
    std::optional<ResendConfig> config = readResendConfig(*path);
    if (!config)
        stopWithMissingKey();
    return *config;
}
