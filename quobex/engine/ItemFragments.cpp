#include "quobex/engine/ItemFragments.h"

#include "platform/Errors.h"
#include "platform/XmlDocument.h"

#include <vector>

namespace quobex {

namespace {

using platform::Xml::child;
using platform::Xml::isTextOnly;

// The text of any child node: an element's own text, the value of a text
// node (or of a comment or CDATA section) otherwise.
QString nodeText(const QDomNode& node)
{
    return node.isElement() ? platform::Xml::text(node.toElement()) : node.nodeValue();
}

bool holdsMore(const QDomNode& node)
{
    return node.hasChildNodes() && !isTextOnly(node);
}

QString priceOf(const QDomNode& node)
{
    return platform::Xml::text(child(node.toElement(), QStringLiteral("FormattedPrice")));
}

bool isLowestPrice(const QString& name)
{
    return name == QLatin1String("LowestNewPrice") || name == QLatin1String("LowestUsedPrice") ||
           name == QLatin1String("LowestCollectiblePrice") || name == QLatin1String("LowestRefurbishedPrice");
}

QString numberOf(const QDomNode& node)
{
    const QString number =
        node.isElement() ? platform::Xml::attribute(node.toElement(), QStringLiteral("Number")) : QString();
    if (number.isNull())
        throw platform::XmlError(
            QStringLiteral("\"%1\" has no attribute \"Number\"").arg(node.nodeName()).toStdString());
    return number;
}

} // namespace

QString RenderAttributeList(const QDomElement& element)
{
    // Without recursion: the reply decides how deep the lists go. The stack
    // holds, for each list still open, the next child it shows.
    QString out = QStringLiteral("<ul>");
    std::vector<QDomNode> open{element.firstChild()};
    while (!open.empty()) {
        const QDomNode c = open.back();
        if (c.isNull()) {
            open.pop_back();
            out += QLatin1String("</ul>");
            if (!open.empty())
                out += QLatin1String("</li>"); // the item that held this list
            continue;
        }
        open.back() = c.nextSibling();
        const QString name = c.nodeName();
        out += QLatin1String("<li><strong>") + name + QLatin1String("</strong>");
        if (name == QLatin1String("ListPrice")) {
            out += QLatin1String(": ") + priceOf(c) + QLatin1String("</li>");
        } else if (holdsMore(c)) {
            out += QLatin1String("<ul>");
            open.push_back(c.firstChild());
        } else {
            out += QLatin1String(": ") + nodeText(c) + QLatin1String("</li>");
        }
    }
    return out;
}

QString RenderOfferSummary(const QDomElement& element)
{
    QString out;
    for (QDomNode c = element.firstChild(); !c.isNull(); c = c.nextSibling()) {
        const QString name = c.nodeName();
        out += QLatin1String("<strong>") + name + QLatin1String("</strong>");
        if (isLowestPrice(name))
            out += QLatin1String(": <font color=\"cc0000\"><strong>") + priceOf(c) + QLatin1String("</strong></font>");
        else if (holdsMore(c))
            out += RenderAttributeList(c.toElement());
        else
            out += QLatin1String(": <font color=\"cc0000\">") + nodeText(c) + QLatin1String("</font>");
        out += QLatin1String("<br>");
    }
    return out;
}

QString RenderTrackList(const QDomElement& tracks, const QString& storeSite)
{
    QString out = QStringLiteral("<p><strong>Listen to Samples</strong><br>");
    for (QDomNode disc = tracks.firstChild(); !disc.isNull(); disc = disc.nextSibling()) {
        const QString number = numberOf(disc);
        out += QLatin1String("<br>Disk ") + number + QLatin1String("<br>");
        if (holdsMore(disc))
            out += RenderDiscTracks(disc.toElement(), number, storeSite);
    }
    out += QLatin1String("</p>");
    return out;
}

QString RenderDiscTracks(const QDomElement& disc, const QString& discNumber, const QString& storeSite)
{
    const QDomNode item = disc.parentNode().parentNode();
    const QString asin =
        item.isElement() ? platform::Xml::text(child(item.toElement(), QStringLiteral("ASIN"))) : QString();
    QString out;
    for (QDomNode track = disc.firstChild(); !track.isNull(); track = track.nextSibling()) {
        out += QLatin1String("<a href=\"") + storeSite + QLatin1String("/exec/obidos/clipserve/") + asin +
               QLatin1String("00") + discNumber + QLatin1String("00") + numberOf(track) + QLatin1String("/0/") +
               QLatin1String(kClipSessionId) + QLatin1String("\">Listen ") + nodeText(track) +
               QLatin1String("</a><br>");
    }
    return out;
}

} // namespace quobex
