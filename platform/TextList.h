#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Line-per-entry text files of single-byte strings: every entry, the last one
// included, is followed by CR LF; an empty list is an empty file. Reading
// splits at CR LF, a lone LF and a lone CR; a last line without a break is an
// entry; an empty line is an empty entry; a NUL byte ends the text.
namespace platform::TextList {

using Lines = QList<QByteArray>;

Lines parse(const QByteArray& text);
QByteArray join(const Lines& lines);

// Reads the file's lines. Throws IoError when the file exists but cannot be read.
Lines load(const QString& path);
// Replaces `lines` by the file's lines when the file exists; a missing file
// leaves them as they are and gives false. Throws IoError like load().
bool loadIfExists(const QString& path, Lines& lines);
// Replaces the file atomically. Throws IoError; the old file then stays whole.
void save(const QString& path, const Lines& lines);

} // namespace platform::TextList
