#include "platform/CodePage.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace platform::CodePage {

#ifdef Q_OS_WIN

QByteArray fromUnicode(const QString& text)
{
    if (text.isEmpty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, int(text.size()), nullptr, 0, "?", nullptr);
    QByteArray out(size, Qt::Uninitialized);
    WideCharToMultiByte(CP_ACP, 0, wide, int(text.size()), out.data(), size, "?", nullptr);
    return out;
}

QString toUnicode(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString out(size, Qt::Uninitialized);
    MultiByteToWideChar(CP_ACP, 0, bytes.constData(), int(bytes.size()), reinterpret_cast<wchar_t*>(out.data()), size);
    return out;
}

#else

namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves
// undefined map to the C1 control of the same value, as Windows does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeOne(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c)
            return char(0x80 + i);
    }
    return '?';
}

} // namespace

QByteArray fromUnicode(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ++i; // a character beyond the BMP is one character, one '?'
            out.append('?');
            continue;
        }
        out.append(encodeOne(ch.unicode()));
    }
    return out;
}

QString toUnicode(const QByteArray& bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *dst++ = (u >= 0x80 && u < 0xA0) ? QChar(kHighControls[u - 0x80]) : QChar(u);
    }
    return out;
}

#endif

} // namespace platform::CodePage
