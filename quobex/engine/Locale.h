#pragma once

#include "quobex/config/Endpoints.h"

#include <QByteArray>

namespace quobex {

// The store a localization's requests go to.
struct Locale {
    QByteArray host;         // web-service host[:port]
    QByteArray associateTag; // the tag that store credits
};

// The store of a localization display name, by an exact comparison of the
// single-byte names. Only the four named stores have tags of their own; the
// Japanese store uses the default tag, and every other name, "U.S.A." and
// "U.S.A" included (and "China", which has no store of its own), goes to
// the U.S. store.
Locale ResolveLocale(const Endpoints& endpoints, const QByteArray& localization);

} // namespace quobex
