#pragma once

#include "quobex/model/AlertTree.h"
#include "quobex/store/AlertKey.h"

#include <QString>

namespace quobex {

// Names any node of the alert tree by its records, so it can be found again
// after the tree was saved and loaded back: a group node by its ItemType,
// an alert node by its AlertKey, a product by its alert's key and its ASIN.
struct NodeKey {
    AlertNode::Level level = AlertNode::Root;
    AlertKey alert; // only `group` for a group node
    QString asin;   // products only

    bool operator==(const NodeKey&) const = default;

    static NodeKey of(const AlertNode& node)
    {
        NodeKey key;
        key.level = node.level();
        switch (key.level) {
        case AlertNode::Root:
            break;
        case AlertNode::Group:
            key.alert.group = node.data.ItemType;
            break;
        case AlertNode::Alert:
            key.alert = AlertKey::of(node);
            break;
        case AlertNode::Item:
            key.alert = AlertKey::of(*node.parent());
            key.asin = node.data.ASIN;
            break;
        }
        return key;
    }

    // The first node of `tree` with this key, or none.
    AlertNode* find(const AlertTree& tree) const
    {
        if (level == AlertNode::Root)
            return nullptr;
        AlertNode* group = tree.FindGroup(alert.group);
        if (!group || level == AlertNode::Group)
            return group;
        AlertNode* node = tree.FindAlert(group, alert.keyword, alert.localization);
        if (!node || level == AlertNode::Alert)
            return node;
        return tree.FindItem(node, asin);
    }
};

} // namespace quobex
