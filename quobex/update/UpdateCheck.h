#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace quobex {

// The parts of the update check that need no window: asking the maker's
// server for its version, comparing versions, and finding Updater.
namespace UpdateCheck {

inline constexpr char kVersionPath[] = "/exe/download/version.txt";
inline const QString kConfirmTitle = QStringLiteral("Confirm");
inline const QString kConfirmText =
    QStringLiteral("A new version of Quobex is available. Do you want to download and install it now?");
inline const QString kCannotStartUpdater = QStringLiteral("Quobex could not start the updater: ");

// The numbers of a dotted version of digits such as "1.0.8.49", white space
// around it ignored; nothing for any other text (an HTML page, an empty body).
std::optional<QList<quint64>> ParseDottedVersion(const QByteArray& text);

// True when `server` names a later version than `current`, number by number
// (1.0.8.100 is later than 1.0.8.49; a missing number counts as 0). A text
// that is not a version is never later.
bool IsNewerVersion(const QByteArray& current, const QByteArray& server);

// Where Updater lives for the program running from `executablePath`. The
// Windows rule upper-cases the path and puts "UPDATER.EXE" for every
// "QUOBEX.EXE" in it; elsewhere it is "Updater" in the executable's folder.
QString UpdaterPath(const QString& executablePath, bool windowsRule);
// UpdaterPath with the rule of the system the program runs on.
QString UpdaterPath(const QString& executablePath);

// How long the version request may take.
struct Timeouts {
    int inactivityMs = 30000;
    int totalMs = 60000;
};

// The server's version text: the whole body of a GET of the version file,
// with `agent` as user agent and the check's header values. The request
// runs on a worker while the calling thread keeps handling its events.
// Nothing when the request failed in any way.
std::optional<QByteArray> FetchServerVersion(const QByteArray& makerServer, const QByteArray& agent,
                                             const Timeouts& timeouts);

} // namespace UpdateCheck

} // namespace quobex
