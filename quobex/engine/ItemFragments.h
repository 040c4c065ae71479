#pragma once

#include <QDomElement>
#include <QString>

// The HTML fragments stored with each product, built once from its Item
// element. Names, texts and attribute values go in as the reply has them,
// unescaped: the details view shows them and never runs scripts. Children
// are walked in document order, text nodes included (named "#text").
// Child lookups complete the reply with the elements they do not find, as
// everywhere in reading replies.
namespace quobex {

// An unordered list of the element's children: a nested list for a child
// holding elements, "ListPrice" by its FormattedPrice, any other by its text.
QString RenderAttributeList(const QDomElement& element);

// One bold name per child: the four lowest prices by their FormattedPrice in
// bold red, a child holding elements as an attribute list, any other by its
// text in red.
QString RenderOfferSummary(const QDomElement& element);

// The sample links of an Item's Tracks, one block per disc. `storeSite` is
// the address (scheme and host) of the U.S. store site, which serves the
// clips of every store. Throws platform::XmlError for a disc or track
// without the attribute "Number", or a track title holding elements.
QString RenderTrackList(const QDomElement& tracks, const QString& storeSite);

// The links of one disc, numbered `discNumber`; the product is the ASIN of
// the Item two levels up.
QString RenderDiscTracks(const QDomElement& disc, const QString& discNumber, const QString& storeSite);

// The session part of every clip path: any value of this form serves.
inline constexpr char kClipSessionId[] = "102-4638172-9460945";

} // namespace quobex
