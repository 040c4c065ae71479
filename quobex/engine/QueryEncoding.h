#pragma once

#include <QByteArray>

namespace quobex {

// A query value as the web service and the maker's pages receive it: a space
// becomes "+", ASCII letters and digits stay, every other byte becomes "%"
// and two upper-case hexadecimal digits. The text is single-byte, so a
// non-ASCII character goes out as its byte in the code page, not as UTF-8.
QByteArray EncodeQueryValue(const QByteArray& text);

} // namespace quobex
