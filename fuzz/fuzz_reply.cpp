// A web-service reply as the fetch reads it: parsed, every Item read into a
// record with its HTML fragments, and merged into the alert tree, once as a
// keyword search (twice, so the second merge meets the products of the
// first) and once as a built-in list with its item lookups. The same bytes
// answer every request.

#include "fuzz/FuzzMain.h"
#include "platform/Errors.h"
#include "quobex/engine/FetchSession.h"
#include "quobex/model/AlertTree.h"

#include <cstddef>
#include <cstdint>

namespace {

quobex::Endpoints endpoints()
{
    return quobex::Endpoints::loopback("127.0.0.1:9", "127.0.0.1:9");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray reply(reinterpret_cast<const char*>(data), qsizetype(size));
    quobex::AlertTree tree;
    QList<QByteArray> newTitles;
    quobex::FetchSession session(endpoints(), tree, newTitles);
    session.setFetcher([&reply](const QByteArray&) { return reply; });
    for (int pass = 0; pass < 2; ++pass) {
        try {
            session.SearchKeywordAlert("Books", "harry potter", "U.S.A.");
        } catch (const platform::XmlError&) {
            // An unusable reply fails its own alert only.
        }
    }
    // One built-in list (they differ only in their request), with the
    // lookup of each of its new entries.
    try {
        session.FindCategoryGroup(QStringLiteral("Top Sellers"));
        session.FetchBrowseNode(
            session.FindCategoryAlert(QStringLiteral("Top Sellers"), QStringLiteral("Books"), QStringLiteral("U.S.A")));
    } catch (const platform::XmlError&) {
    }
    tree.TrimAndRecount(5);
    return 0;
}
