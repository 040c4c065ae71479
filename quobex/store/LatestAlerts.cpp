#include "quobex/store/LatestAlerts.h"

#include "platform/CodePage.h"
#include "platform/TextList.h"

namespace quobex::LatestAlerts {

bool load(const QString& path, QList<QByteArray>& list)
{
    return platform::TextList::loadIfExists(path, list);
}

AlertNode* FindNodeByASIN(const AlertTree& tree, const QByteArray& asin)
{
    const QString wanted = platform::CodePage::toUnicode(asin);
    auto MatchASIN = [&wanted](const AlertNode& node) { return node.data.ASIN == wanted; };
    return tree.FindFirst(MatchASIN);
}

QByteArray rowText(const AlertTree& tree, const QByteArray& asin)
{
    const AlertNode* node = FindNodeByASIN(tree, asin);
    return node ? platform::CodePage::fromUnicode(node->data.Title) : kNoTitle;
}

} // namespace quobex::LatestAlerts
