#include "quobex/store/TreeDisplay.h"

namespace quobex::TreeDisplay {

namespace {

QString countsText(const TAlertNodeData& data)
{
    return QStringLiteral(" - ") + QString::number(data.NewCount) + QStringLiteral(" new, ") +
           QString::number(data.UnreadCount) + QStringLiteral(" unread");
}

} // namespace

QString text(const TAlertNodeData& data, AlertNode::Level level)
{
    switch (level) {
    case AlertNode::Root:
        return {};
    case AlertNode::Group:
        return data.ItemType + countsText(data);
    case AlertNode::Alert:
        return data.Keyword + QStringLiteral(" (") + data.Localization + QLatin1Char(')') + countsText(data);
    case AlertNode::Item:
        break;
    }
    return data.Title;
}

QString text(const AlertNode& node)
{
    return text(node.data, node.level());
}

TextStyle style(const TAlertNodeData& data, AlertNode::Level level)
{
    if (level == AlertNode::Group || level == AlertNode::Alert)
        return {data.NewCount > 0 ? kNewColour : kPlainColour, data.UnreadCount > 0};
    return {isTrue(data.IsNew) ? kNewColour : kPlainColour, !isTrue(data.IsRead)};
}

TextStyle style(const AlertNode& node)
{
    return style(node.data, node.level());
}

} // namespace quobex::TreeDisplay
