#pragma once

#include <QLocale>
#include <QString>
#include <QtGlobal>

#include <optional>

// The texts Updater shows while it downloads, from the bytes announced, the
// bytes received and the time since the body began.
namespace updater::ProgressDisplay {

// "Downloading <total> bytes"
QString SizeText(qint64 total);

struct Texts {
    QString elapsed;                  // "<secs> seconds", never 0 seconds
    std::optional<QString> remaining; // "<n> seconds"; none while the speed is 0
    QString speed;                    // "<x> KB/s", cut (not rounded) to two decimals
};

// `elapsedMs` comes from a monotonic clock: it neither wraps after a day
// nor jumps when the clock is set.
Texts Compute(qint64 total, qint64 count, qint64 elapsedMs, const QLocale& locale);

// A number in general format: at most 15 significant digits, no trailing
// zeros, the locale's decimal separator and no grouping.
QString GeneralFormat(double value, const QLocale& locale);

} // namespace updater::ProgressDisplay
