#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QString>

// XML replies read the way the program relies on: a child looked up by name
// is created empty when it is missing, so a missing element never stops the
// reading; the text of an element is its single text (or CDATA) content.
// White-space-only text between elements is dropped when a text is parsed.
namespace platform {

class XmlDocument {
public:
    // Replaces the content by the parsed `bytes`. Throws XmlError when they
    // are empty, not well-formed or nested deeper than kMaxDepth elements;
    // the document is then empty.
    void load(const QByteArray& bytes);

    // Deeper than any real reply: a document nested past it is refused
    // before the DOM is built, which for a very deep one would take minutes
    // and recurse once per level.
    static constexpr int kMaxDepth = 256;

    QDomElement documentElement() const { return m_doc.documentElement(); }

private:
    QDomDocument m_doc;
};

namespace Xml {

// False when an element of `bytes` lies more than `maxDepth` elements deep
// (the document element is at depth 1). A streaming pass: fast, and its
// memory and stack do not grow with the depth. Text that is not well-formed
// passes as far as the depth goes; the DOM's parse reports it.
bool nestedWithin(const QByteArray& bytes, int maxDepth);

// The first child element of `parent` named `name` (exactly). When there is
// none, an empty element of that name is appended to `parent` and returned.
QDomElement child(QDomElement parent, const QString& name);

// The text of an element: empty when it has no children, the value of its
// text and CDATA children otherwise. Throws XmlError when it holds elements.
QString text(const QDomElement& element);

// An element whose only child node is one text (or CDATA) node.
bool isTextOnly(const QDomNode& node);

// The value of an attribute; a null string when the element lacks it.
QString attribute(const QDomElement& element, const QString& name);

} // namespace Xml
} // namespace platform
