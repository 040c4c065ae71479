#pragma once

#include "quobex/model/AlertTree.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The latest-alert index: the ASINs of the newest products, newest first,
// one per line, as the fetch writes it. The main window shows the title of
// each from the alert tree.
namespace quobex::LatestAlerts {

inline const QByteArray kNoTitle = QByteArrayLiteral("No title");

// Replaces `list` by the lines of the index file at `path`; a missing file
// leaves it as it is and gives false. Throws IoError when the file exists
// but cannot be read.
bool load(const QString& path, QList<QByteArray>& list);

// The first node, in pre-order over the whole tree (collapsed nodes
// included), whose ASIN is `asin` exactly; none when no node has it. Group
// and alert nodes have an empty ASIN, so an empty text finds the first group.
AlertNode* FindNodeByASIN(const AlertTree& tree, const QByteArray& asin);

// The text of a row: the title of the node found for `asin` as single-byte
// text, or "No title".
QByteArray rowText(const AlertTree& tree, const QByteArray& asin);

} // namespace quobex::LatestAlerts
