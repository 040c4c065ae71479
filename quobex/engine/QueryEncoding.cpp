#include "quobex/engine/QueryEncoding.h"

namespace quobex {

QByteArray EncodeQueryValue(const QByteArray& text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == ' ') {
            out.append('+');
        } else if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out.append(c);
        } else {
            out.append('%');
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 0x0F]);
        }
    }
    return out;
}

} // namespace quobex
