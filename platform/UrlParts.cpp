#include "platform/UrlParts.h"

namespace platform::urlparts {

namespace {

bool hasControlByte(const QByteArray& url)
{
    for (const char c : url) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

bool hasScheme(const QByteArray& reference)
{
    for (qsizetype i = 0; i < reference.size(); ++i) {
        const char c = reference[i];
        if (c == ':')
            return i > 0;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return false;
    }
    return false;
}

} // namespace

std::optional<Address> splitUrl(const QByteArray& url)
{
    // A control byte would end the request line early: text from a reply
    // (an ASIN, a link) must never add lines of its own to a request.
    if (hasControlByte(url))
        return std::nullopt;
    const qsizetype colon = url.indexOf("://");
    if (colon <= 0)
        return std::nullopt;
    Address a;
    a.scheme = url.left(colon);
    const QByteArray lower = a.scheme.toLower();
    if (lower == "https")
        a.tls = true;
    else if (lower != "http")
        return std::nullopt;
    const qsizetype start = colon + 3;
    qsizetype end = start;
    while (end < url.size() && url[end] != '/' && url[end] != '?' && url[end] != '#')
        ++end;
    const QByteArray authority = url.mid(start, end - start);
    const QByteArray host = authority.mid(authority.lastIndexOf('@') + 1);
    if (host.isEmpty() || host.startsWith(':'))
        return std::nullopt;
    a.origin = url.left(end);
    const qsizetype fragment = url.indexOf('#', end);
    a.target = url.mid(end, (fragment < 0 ? url.size() : fragment) - end);
    return a;
}

QByteArray resolveLocation(const Address& base, QByteArray location)
{
    if (const qsizetype fragment = location.indexOf('#'); fragment >= 0)
        location.truncate(fragment);
    if (hasScheme(location))
        return location;
    if (location.startsWith("//"))
        return base.scheme + ':' + location;
    if (location.startsWith('/'))
        return base.origin + location;
    QByteArray path = base.target.left(base.target.indexOf('?') < 0 ? base.target.size() : base.target.indexOf('?'));
    if (path.isEmpty())
        path = "/";
    if (location.isEmpty() || location.startsWith('?'))
        return base.origin + path + location;
    return base.origin + path.left(path.lastIndexOf('/') + 1) + location;
}

bool mayFollow(const Address& from, const std::optional<Address>& to)
{
    return to && (to->tls || !from.tls);
}

} // namespace platform::urlparts
