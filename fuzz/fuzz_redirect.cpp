// The HTTP client's own address handling: any bytes as the first line up to
// a LF as the address asked for, the rest as a redirect's Location.

#include "platform/UrlParts.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = bytes.indexOf('\n');
    const QByteArray url = split < 0 ? bytes : bytes.left(split);
    const QByteArray location = split < 0 ? QByteArray() : bytes.mid(split + 1);
    const auto address = platform::urlparts::splitUrl(url);
    if (!address)
        return 0;
    // What is sent keeps the caller's bytes: origin and target are the URL's own, in order.
    if (!url.startsWith(address->origin + address->target))
        std::abort();
    const QByteArray next = platform::urlparts::resolveLocation(*address, location);
    if (const auto again = platform::urlparts::splitUrl(next)) {
        // The request target of the next request never carries a fragment.
        if (again->target.contains('#'))
            std::abort();
    }
    return 0;
}
