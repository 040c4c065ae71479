#include "quobex/engine/Locale.h"

namespace quobex {

Locale ResolveLocale(const Endpoints& e, const QByteArray& localization)
{
    if (localization == "Canada")
        return {e.serviceHostCA, e.associateTagCA};
    if (localization == "U.K.")
        return {e.serviceHostUK, e.associateTagUK};
    if (localization == "Germany")
        return {e.serviceHostDE, e.associateTagDE};
    if (localization == "France")
        return {e.serviceHostFR, e.associateTagFR};
    if (localization == "Japan")
        return {e.serviceHostJP, e.associateTagDefault};
    return {e.serviceHostUS, e.associateTagDefault};
}

} // namespace quobex
