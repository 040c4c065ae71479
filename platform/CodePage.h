#pragma once

#include <QByteArray>
#include <QString>

// Single-byte text "in the system code page". On Windows that is the ANSI
// code page; elsewhere it is Windows-1252 by our own table, so files written
// on one system read the same on the other. A character the code page cannot
// hold becomes '?'.
namespace platform::CodePage {

QByteArray fromUnicode(const QString& text);
QString toUnicode(const QByteArray& bytes);

} // namespace platform::CodePage
