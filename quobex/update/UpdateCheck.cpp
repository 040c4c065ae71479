#include "quobex/update/UpdateCheck.h"

#include "platform/HttpClient.h"
#include "quobex/update/BackgroundGet.h"

#include <QDir>
#include <QFileInfo>

namespace quobex::UpdateCheck {

std::optional<QList<quint64>> ParseDottedVersion(const QByteArray& text)
{
    const QByteArray version = text.trimmed();
    if (version.isEmpty())
        return std::nullopt;
    QList<quint64> numbers;
    for (const QByteArray& part : version.split('.')) {
        // Digits only: no sign, no space inside, and short enough to never overflow.
        if (part.isEmpty() || part.size() > 18)
            return std::nullopt;
        quint64 value = 0;
        for (const char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + quint64(c - '0');
        }
        numbers.append(value);
    }
    return numbers;
}

bool IsNewerVersion(const QByteArray& current, const QByteArray& server)
{
    const std::optional<QList<quint64>> mine = ParseDottedVersion(current);
    const std::optional<QList<quint64>> theirs = ParseDottedVersion(server);
    if (!mine || !theirs)
        return false;
    const qsizetype count = std::max(mine->size(), theirs->size());
    for (qsizetype i = 0; i < count; ++i) {
        const quint64 a = i < mine->size() ? mine->at(i) : 0;
        const quint64 b = i < theirs->size() ? theirs->at(i) : 0;
        if (a != b)
            return a < b;
    }
    return false;
}

QString UpdaterPath(const QString& executablePath, bool windowsRule)
{
    if (windowsRule)
        return executablePath.toUpper().replace(QStringLiteral("QUOBEX.EXE"), QStringLiteral("UPDATER.EXE"));
    return QFileInfo(executablePath).absolutePath() + QStringLiteral("/Updater");
}

QString UpdaterPath(const QString& executablePath)
{
#ifdef Q_OS_WIN
    return UpdaterPath(executablePath, true);
#else
    return UpdaterPath(executablePath, false);
#endif
}

std::optional<QByteArray> FetchServerVersion(const QByteArray& makerServer, const QByteArray& agent,
                                             const Timeouts& timeouts)
{
    platform::HttpClient client;
    client.setUserAgent(agent);
    client.setHeader("Accept", "text/html, */*");
    client.setHeader("Content-Type", "text/html");
    client.setHeader("Cache-control", "no-cache");
    client.setTimeouts(timeouts.inactivityMs, timeouts.totalMs);
    return GetWithoutFreezing(client, makerServer + kVersionPath);
}

} // namespace quobex::UpdateCheck
