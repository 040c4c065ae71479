#include "quobex/store/AlertChecks.h"

#include "platform/SaveFile.h"
#include "quobex/store/RecordLines.h"

#include <algorithm>
#include <tuple>

namespace quobex {

namespace {

const QString kAlertRecord = QStringLiteral("alert");
const QString kFetchRecord = QStringLiteral("fetch");

QString timeField(const QDateTime& at)
{
    return at.isValid() ? at.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime timeFrom(const QString& field)
{
    QDateTime at = QDateTime::fromString(field, Qt::ISODateWithMs);
    return at.isValid() ? at.toUTC() : QDateTime();
}

} // namespace

QString CheckFailure::kindWord(Kind kind)
{
    switch (kind) {
    case Kind::None:
        return QStringLiteral("none");
    case Kind::NoAnswer:
        return QStringLiteral("no-answer");
    case Kind::HttpStatus:
        return QStringLiteral("http-status");
    case Kind::TimedOut:
        return QStringLiteral("timed-out");
    case Kind::ServiceError:
        return QStringLiteral("service-error");
    case Kind::Unparseable:
        return QStringLiteral("unparseable");
    }
    return {};
}

CheckFailure::Kind CheckFailure::kindFromWord(const QString& word)
{
    for (Kind kind : {Kind::NoAnswer, Kind::HttpStatus, Kind::TimedOut, Kind::ServiceError, Kind::Unparseable}) {
        if (kindWord(kind) == word)
            return kind;
    }
    return Kind::None;
}

QString CheckFailure::describe() const
{
    QString what;
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::NoAnswer:
        what = QStringLiteral("The store did not answer");
        break;
    case Kind::HttpStatus:
        what = QStringLiteral("The store answered with HTTP status %1").arg(httpStatus);
        break;
    case Kind::TimedOut:
        what = QStringLiteral("The store did not answer in time");
        break;
    case Kind::ServiceError:
        what = QStringLiteral("The store's web service reported an error");
        break;
    case Kind::Unparseable:
        what = QStringLiteral("The store's reply could not be read");
        break;
    }
    if (!subject.isEmpty())
        what += QStringLiteral(" for ") + subject;
    // The status says it all for an HTTP error; the other kinds name the cause.
    if (!message.isEmpty() && kind != Kind::HttpStatus)
        what += QStringLiteral(": ") + message;
    return what + QLatin1Char('.');
}

void AlertChecks::recordGood(const AlertKey& alert, const QDateTime& at)
{
    Record& record = m_records[alert];
    record.lastGood = at.toUTC();
    record.lastFailed = false;
}

void AlertChecks::recordFailure(const AlertKey& alert, const CheckFailure& failure, const QDateTime& at)
{
    Record& record = m_records[alert];
    record.lastFailure = at.toUTC();
    record.failure = failure;
    record.lastFailed = true;
}

const AlertChecks::Record* AlertChecks::find(const AlertKey& alert) const
{
    const auto it = m_records.constFind(alert);
    return it == m_records.constEnd() ? nullptr : &*it;
}

bool AlertChecks::lastCheckFailed(const AlertKey& alert) const
{
    const Record* record = find(alert);
    return record && record->lastFailed;
}

bool AlertChecks::forget(const AlertKey& alert)
{
    return m_records.remove(alert);
}

void AlertChecks::recordFetch(const QDateTime& endedAt, int failedAlerts)
{
    m_lastFetchEnded = endedAt.toUTC();
    m_lastFetchFailures = failedAlerts;
}

QString AlertChecks::showTime(const QDateTime& at)
{
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString AlertChecks::toolTip(const AlertKey& alert) const
{
    const Record* record = find(alert);
    if (!record || !record->lastFailed)
        return {};
    QString text =
        QStringLiteral("Last check failed (%1): %2").arg(showTime(record->lastFailure), record->failure.describe());
    text += QLatin1Char('\n');
    text += record->lastGood.isValid() ? QStringLiteral("Last good check: ") + showTime(record->lastGood)
                                       : QStringLiteral("No good check yet.");
    return text;
}

QString AlertChecks::trayToolTip() const
{
    QString text = QStringLiteral("Quobex");
    if (!m_lastFetchEnded.isValid())
        return text;
    text += QStringLiteral("\nLast check ended ") + showTime(m_lastFetchEnded);
    if (m_lastFetchFailures == 0)
        text += QStringLiteral("\nEvery alert was checked.");
    else if (m_lastFetchFailures == 1)
        text += QStringLiteral("\n1 alert failed.");
    else
        text += QStringLiteral("\n%1 alerts failed.").arg(m_lastFetchFailures);
    return text;
}

QString AlertChecks::failuresText() const
{
    if (!m_lastFetchEnded.isValid() || m_lastFetchFailures == 0)
        return {};
    if (m_lastFetchFailures == 1)
        return QStringLiteral("1 alert could not be checked");
    return QStringLiteral("%1 alerts could not be checked").arg(m_lastFetchFailures);
}

QByteArray AlertChecks::serialize() const
{
    QByteArray out = kHeader + '\n';
    if (m_lastFetchEnded.isValid())
        out += RecordLines::line({kFetchRecord, timeField(m_lastFetchEnded), QString::number(m_lastFetchFailures)});
    QList<AlertKey> keys = m_records.keys();
    std::sort(keys.begin(), keys.end(), [](const AlertKey& a, const AlertKey& b) {
        return std::tie(a.group, a.keyword, a.localization) < std::tie(b.group, b.keyword, b.localization);
    });
    for (const AlertKey& key : keys) {
        const Record& r = m_records[key];
        out += RecordLines::line({kAlertRecord, key.group, key.keyword, key.localization, timeField(r.lastGood),
                                  r.lastFailed ? QStringLiteral("1") : QStringLiteral("0"), timeField(r.lastFailure),
                                  CheckFailure::kindWord(r.failure.kind), QString::number(r.failure.httpStatus),
                                  r.failure.subject, r.failure.message});
    }
    return out;
}

AlertChecks AlertChecks::fromRecords(const QList<QStringList>& records)
{
    AlertChecks checks;
    for (const QStringList& f : records) {
        if (f.size() == 3 && f.at(0) == kFetchRecord) {
            checks.m_lastFetchEnded = timeFrom(f.at(1));
            checks.m_lastFetchFailures = std::max(0, f.at(2).toInt());
        } else if (f.size() == 11 && f.at(0) == kAlertRecord) {
            Record r;
            r.lastGood = timeFrom(f.at(4));
            r.lastFailure = timeFrom(f.at(6));
            r.failure.kind = CheckFailure::kindFromWord(f.at(7));
            r.failure.httpStatus = f.at(8).toInt();
            r.failure.subject = f.at(9);
            r.failure.message = f.at(10);
            r.lastFailed = f.at(5) == QLatin1String("1") && r.failure.failed();
            checks.m_records.insert({f.at(1), f.at(2), f.at(3)}, r);
        }
    }
    return checks;
}

AlertChecks AlertChecks::parse(const QByteArray& text)
{
    return fromRecords(RecordLines::parse(text, kHeader));
}

AlertChecks AlertChecks::load(const QString& path)
{
    return fromRecords(RecordLines::load(path, kHeader));
}

void AlertChecks::save(const QString& path) const
{
    platform::SaveFile::write(path, serialize());
}

} // namespace quobex
