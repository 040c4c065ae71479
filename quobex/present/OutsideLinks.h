#pragma once

#include "quobex/model/AlertNodeData.h"

#include <QByteArray>

namespace quobex {

// Addresses on the maker's web server (`makerServer`: scheme and
// host[:port]) that lead the user out of the program.

// The maker's redirect page for a product, which takes the user on to the
// store: keyword, type, country and url of the item, each query-encoded.
QByteArray MoreInfoAddress(const QByteArray& makerServer, const TAlertNodeData& item);
// The redirect page behind the product picture: the same without country.
QByteArray PictureLink(const QByteArray& makerServer, const TAlertNodeData& item);

QByteArray TellFriendAddress(const QByteArray& makerServer);
QByteArray ContactAddress(const QByteArray& makerServer);

} // namespace quobex
