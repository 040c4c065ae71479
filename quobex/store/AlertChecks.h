#pragma once

#include "quobex/store/AlertKey.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace quobex {

// Why a check of an alert or a built-in list failed.
struct CheckFailure {
    enum class Kind {
        None,         // no failure
        NoAnswer,     // no connection, or the answer broke off
        HttpStatus,   // the server answered with an error status
        TimedOut,     // no answer in time
        ServiceError, // the web service answered with an error of its own
        Unparseable,  // a reply that is not a readable XML document
    };

    Kind kind = Kind::None;
    int httpStatus = 0;
    // The failure's own words (the client's error, the service's message),
    // possibly empty.
    QString message;
    // What failed when it was not the alert's own request, e.g. "product B000123".
    QString subject;

    bool failed() const { return kind != Kind::None; }
    // One sentence for the user, e.g. "The store answered with HTTP status 500."
    QString describe() const;

    static QString kindWord(Kind kind);
    static Kind kindFromWord(const QString& word);
};

// What the program remembers of each alert's and built-in list's checks,
// and of the last fetch, across runs. It belongs to the main thread; a fetch
// records into it inside its hand-overs.
class AlertChecks {
public:
    struct Record {
        QDateTime lastGood;    // UTC; invalid: never
        QDateTime lastFailure; // UTC; invalid: never
        CheckFailure failure;  // the last failure
        bool lastFailed = false;
    };

    static inline const QByteArray kHeader = QByteArrayLiteral("Quobex alert checks 1");

    void recordGood(const AlertKey& alert, const QDateTime& at);
    void recordFailure(const AlertKey& alert, const CheckFailure& failure, const QDateTime& at);
    // A record or none.
    const Record* find(const AlertKey& alert) const;
    bool lastCheckFailed(const AlertKey& alert) const;
    bool forget(const AlertKey& alert);

    // A fetch that went through all its alerts and lists ended.
    void recordFetch(const QDateTime& endedAt, int failedAlerts);
    QDateTime lastFetchEnded() const { return m_lastFetchEnded; }
    int lastFetchFailures() const { return m_lastFetchFailures; }

    // The tooltip of an alert node whose last check failed: the failure and
    // the time of the last good check. Empty when its last check did not fail.
    QString toolTip(const AlertKey& alert) const;
    // The tray icon's tooltip: when the last fetch ended and how many alerts failed in it.
    QString trayToolTip() const;
    // A line for the main window's status bar while alerts failed in the last
    // fetch; empty when every alert was checked.
    QString failuresText() const;

    // Times as the user reads them: local time, minutes.
    static QString showTime(const QDateTime& at);

    QByteArray serialize() const;
    static AlertChecks parse(const QByteArray& text);
    // A missing or unreadable file gives no records.
    static AlertChecks load(const QString& path);
    // Replaces the file atomically. Throws IoError; the old file then stays whole.
    void save(const QString& path) const;

private:
    static AlertChecks fromRecords(const QList<QStringList>& records);

    QHash<AlertKey, Record> m_records;
    QDateTime m_lastFetchEnded;
    int m_lastFetchFailures = 0;
};

} // namespace quobex
