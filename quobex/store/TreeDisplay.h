#pragma once

#include "quobex/config/Colours.h"

#include "quobex/model/AlertTree.h"

#include <QString>
#include <QtGlobal>

// What a node of the alert tree shows: its one line of text and how that
// text is drawn. Both are derived from the record every time, so whoever
// changes a record only has to repaint the node.
namespace quobex::TreeDisplay {

// 0xRRGGBB: new items, and group and alert nodes with new items.
inline constexpr quint32 kNewColour = Colours::kBlue;
inline constexpr quint32 kPlainColour = 0x000000;

struct TextStyle {
    quint32 colour = kPlainColour; // 0xRRGGBB
    bool bold = false;
    bool operator==(const TextStyle&) const = default;
};

// "Books - 3 new, 12 unread", "harry potter (U.S.A.) - 0 new, 2 unread" or
// the item's title. `level` is the node's depth below the root (deeper than
// an item counts as an item).
QString text(const TAlertNodeData& data, AlertNode::Level level);
QString text(const AlertNode& node);

// Group and alert nodes follow their counts (blue while new > 0, bold while
// unread > 0); items their flags (blue while new, bold until read).
TextStyle style(const TAlertNodeData& data, AlertNode::Level level);
TextStyle style(const AlertNode& node);

} // namespace quobex::TreeDisplay
