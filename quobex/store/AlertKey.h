#pragma once

#include "quobex/model/AlertTree.h"

#include <QHash>
#include <QString>

namespace quobex {

// Names an alert node by its records rather than by pointer, since the user
// may delete nodes and a reload rebuilds them all: the ItemType of its group
// node, then its own Keyword and Localization. A keyword alert's group is
// its item type; a built-in list's group is "Top Sellers" or "New Releases".
struct AlertKey {
    QString group;
    QString keyword;
    QString localization;

    bool operator==(const AlertKey&) const = default;

    // The key of an alert node (a child of a group node).
    static AlertKey of(const AlertNode& alert)
    {
        return {alert.parent() ? alert.parent()->data.ItemType : QString(), alert.data.Keyword,
                alert.data.Localization};
    }
};

inline size_t qHash(const AlertKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.group, key.keyword, key.localization);
}

} // namespace quobex
