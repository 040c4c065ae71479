#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The small record files of the data folder that the program adds for its
// own bookkeeping: UTF-8 text, a first line naming the file and its format,
// then one record per line, its fields separated by TAB. A field escapes
// the backslash, TAB, CR and LF, so any text survives. Lines are read
// leniently: one that cannot be understood is passed over, never the file.
namespace quobex::RecordLines {

QByteArray escape(const QString& field);
QString unescape(const QByteArray& field);

// One line of fields, ending in LF.
QByteArray line(const QStringList& fields);

// The records of `text` when its first line is `header`; none otherwise.
QList<QStringList> parse(const QByteArray& text, const QByteArray& header);

// Reads the file at `path`; an empty list when it is missing, unreadable,
// too large or of another format.
QList<QStringList> load(const QString& path, const QByteArray& header);

constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

} // namespace quobex::RecordLines
