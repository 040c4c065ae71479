#include "platform/XmlDocument.h"

#include "platform/Errors.h"

#include <QXmlStreamReader>

namespace platform {

void XmlDocument::load(const QByteArray& bytes)
{
    m_doc = QDomDocument();
    if (bytes.isEmpty())
        throw XmlError("XML document is empty");
    if (!Xml::nestedWithin(bytes, kMaxDepth))
        throw XmlError(QStringLiteral("XML document is nested deeper than %1 elements").arg(kMaxDepth).toStdString());
    QDomDocument doc;
    QString message;
    int line = 0;
    int column = 0;
    if (!doc.setContent(bytes, false, &message, &line, &column) || doc.documentElement().isNull()) {
        throw XmlError(QStringLiteral("XML document is not well-formed: %1 (line %2, column %3)")
                           .arg(message)
                           .arg(line)
                           .arg(column)
                           .toStdString());
    }
    m_doc = doc;
}

namespace Xml {

bool nestedWithin(const QByteArray& bytes, int maxDepth)
{
    QXmlStreamReader reader(bytes);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > maxDepth)
                return false;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return true;
}

QDomElement child(QDomElement parent, const QString& name)
{
    QDomElement found = parent.firstChildElement(name);
    if (found.isNull()) {
        found = parent.ownerDocument().createElement(name);
        parent.appendChild(found);
    }
    return found;
}

QString text(const QDomElement& element)
{
    QString result;
    for (QDomNode n = element.firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (n.isText()) // CDATA sections are text nodes too
            result += n.nodeValue();
        else if (n.isElement())
            throw XmlError(QStringLiteral("Element \"%1\" holds elements and has no text of its own")
                               .arg(element.tagName())
                               .toStdString());
    }
    return result;
}

bool isTextOnly(const QDomNode& node)
{
    if (!node.isElement())
        return false;
    const QDomNode first = node.firstChild();
    return !first.isNull() && first.isText() && first.nextSibling().isNull();
}

QString attribute(const QDomElement& element, const QString& name)
{
    if (!element.hasAttribute(name))
        return QString();
    const QString value = element.attribute(name);
    return value.isNull() ? QStringLiteral("") : value;
}

} // namespace Xml
} // namespace platform
