#pragma once

#include "standin/replies/ServiceReplies.h"

#include <QStringList>

// Small replies of the web service in its 2005-07-26 shape, built in tests
// where a fixture file would hide what a case is about. They come from the
// same builders the stand-in service answers with.
namespace testsupport::replies {

using namespace servicereplies;

// The progress texts of the six built-in categories, in fetch order.
inline const QStringList kCategoryStatusTexts = {
    QStringLiteral("Fetching results for Top Sellers (Books, U.S.A)"),
    QStringLiteral("Fetching results for Top Sellers (DVD, U.S.A)"),
    QStringLiteral("Fetching results for Top Sellers (Music, U.S.A)"),
    QStringLiteral("Fetching results for New Releases (Books, U.S.A)"),
    QStringLiteral("Fetching results for New Releases (DVD, U.S.A)"),
    QStringLiteral("Fetching results for New Releases (Music, U.S.A)"),
};

} // namespace testsupport::replies
