#pragma once

#include "standin/Catalogue.h"

#include <QByteArray>
#include <QMap>

namespace standin {

struct HttpReply {
    int status = 200;
    QByteArray contentType = "text/xml";
    QByteArray body;
};

// Query bytes as text: UTF-8 when they are valid UTF-8, else the single-byte
// Windows code page the program sends its keywords in.
QString queryText(const QByteArray& bytes);

// "/onca/xml" of one store: ItemSearch, BrowseNodeLookup and ItemLookup over
// the catalogue as it stands `elapsedMinutes` after the start, and the
// service's error replies for what it would refuse.
HttpReply answerServiceRequest(const Catalogue& catalogue, Store store, const QByteArray& target, int elapsedMinutes);

// The category of a browse node the program asks for ("283155" Books, "130"
// DVD, "5174" Music); empty for any other.
QString browseNodeIndex(const QByteArray& browseNodeId);

} // namespace standin
