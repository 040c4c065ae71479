#pragma once

#include "quobex/model/AlertTree.h"

// Building alert trees as a fetch would, for the store's tests.
namespace storetest {

inline quobex::AlertNode* add(quobex::AlertTree& tree, quobex::AlertNode* parent, const quobex::TAlertNodeData& data)
{
    quobex::AlertNode* node = tree.AddChild(parent);
    node->data = data;
    return node;
}

// The record of a group or alert node made by a keyword search.
inline quobex::TAlertNodeData searchRecord(const QString& itemType, qint32 fresh = 0, qint32 unread = 0)
{
    quobex::TAlertNodeData d;
    d.ItemType = itemType;
    d.IsNew = quobex::kFalse;
    d.IsRead = quobex::kFalse;
    d.Reserved = -1;
    d.NewCount = fresh;
    d.UnreadCount = unread;
    return d;
}

} // namespace storetest
