#pragma once

#include <QByteArray>

#include <optional>

// The HTTP client's own handling of addresses: the request target it sends
// and where a redirect's Location leads. Internal to the client; here so that
// it can be tested on its own.
namespace platform::urlparts {

// An absolute http or https URL taken apart without changing a byte.
struct Address {
    bool tls = false;
    QByteArray scheme; // as written
    QByteArray origin; // scheme://authority
    QByteArray target; // path and query, without the fragment
};

// None for anything but an absolute http or https URL with a host, and for
// any control byte in it (it would end the request line early).
std::optional<Address> splitUrl(const QByteArray& url);

// Where a Location header leads from `base`. The new address keeps the bytes
// the server wrote, as the first request keeps the caller's.
QByteArray resolveLocation(const Address& base, QByteArray location);

// Whether a redirect from `from` may be followed to `to`: never from https to
// http, and never to anything but an http or https URL (`to` none).
bool mayFollow(const Address& from, const std::optional<Address>& to);

} // namespace platform::urlparts
