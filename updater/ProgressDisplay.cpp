#include "updater/ProgressDisplay.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace updater::ProgressDisplay {

QString SizeText(qint64 total)
{
    return QStringLiteral("Downloading ") + QString::number(total) + QStringLiteral(" bytes");
}

QString GeneralFormat(double value, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'g', 15);
}

Texts Compute(qint64 total, qint64 count, qint64 elapsedMs, const QLocale& locale)
{
    qint64 secs = std::max<qint64>(elapsedMs, 0) / 1000;
    if (secs == 0)
        secs = 1;
    const long double speed = (long double)count / (long double)secs / 1024.0L;

    Texts texts;
    texts.elapsed = QString::number(secs) + QStringLiteral(" seconds");
    if (speed > 0) {
        // Ties go to the even neighbour, as the default rounding mode does.
        const long double exact = (long double)(total - count) / 1024.0L / speed;
        const int previous = std::fegetround();
        std::fesetround(FE_TONEAREST);
        long double rounded = std::nearbyint(exact);
        std::fesetround(previous);
        rounded =
            std::clamp<long double>(rounded, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
        texts.remaining = QString::number(qint32(rounded)) + QStringLiteral(" seconds");
    }
    const long double shown = std::trunc(speed * 100.0L) / 100.0L;
    texts.speed = GeneralFormat(double(shown), locale) + QStringLiteral(" KB/s");
    return texts;
}

} // namespace updater::ProgressDisplay
