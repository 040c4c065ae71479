#include "quobex/settings/SettingsFile.h"

#include "platform/Errors.h"
#include "platform/SaveFile.h"
#include "platform/SpecialFolders.h"
#include "platform/XmlDocument.h"
#include "quobex/config/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quobex {

namespace {

const QString kRoot = QStringLiteral("Configuration");
const QString kDeclaration = QStringLiteral("version=\"1.0\" encoding=\"iso-8859-1\"");

} // namespace

QString SettingsFile::defaultPath()
{
    return platform::SpecialFolderPath(platform::kAppDataFolder) + QLatin1Char('/') + DataFiles::kSettings;
}

namespace {

// The file's bytes as a document, by the one set of rules every read uses.
// A file nested too deep reads as no settings, like any unreadable one.
std::optional<QDomDocument> parse(const QByteArray& bytes)
{
    QDomDocument doc;
    if (!platform::Xml::nestedWithin(bytes, platform::XmlDocument::kMaxDepth) || !doc.setContent(bytes))
        return std::nullopt;
    return doc;
}

// The document in the declared ISO-8859-1. A character outside it becomes a
// character reference, which reads back as the same character; Qt's writer
// would put a "?" in its place.
QByteArray serialize(const QDomDocument& doc)
{
    const QString text = doc.toString(2);
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x100)
            bytes += char(c);
        else
            bytes += "&#" + QByteArray::number(quint32(c)) + ';';
    }
    return bytes;
}

// The value of `key` in a document, or nothing.
std::optional<QString> valueIn(const QDomDocument& doc, const QString& key)
{
    const QDomElement root = doc.documentElement();
    if (root.tagName() != kRoot)
        return std::nullopt;
    const QDomElement element = root.firstChildElement(key);
    if (element.isNull())
        return std::nullopt;
    try {
        return platform::Xml::text(element);
    } catch (const platform::XmlError&) {
        return std::nullopt;
    }
}

QDomDocument emptyDocument()
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"), kDeclaration));
    doc.appendChild(doc.createElement(kRoot));
    return doc;
}

// Sets the key's element to hold only `text`, appending it at the end of the
// root when it is new.
void setValue(QDomDocument& doc, const QString& key, const QString& text)
{
    QDomElement root = doc.documentElement();
    QDomElement element = root.firstChildElement(key);
    if (element.isNull()) {
        element = doc.createElement(key);
        root.appendChild(element);
    }
    while (!element.firstChild().isNull())
        element.removeChild(element.firstChild());
    element.appendChild(doc.createTextNode(text));
}

bool readsBack(const QByteArray& bytes, const QString& key, const QString& text)
{
    const std::optional<QDomDocument> doc = parse(bytes);
    return doc && valueIn(*doc, key) == text;
}

// The root's elements that read back when written on their own, in order;
// anything else of the old document (what stands outside the root, comments)
// is left out.
QDomDocument rebuiltFrom(const QDomDocument& old)
{
    QDomDocument doc = emptyDocument();
    QDomElement root = doc.documentElement();
    for (QDomElement child = old.documentElement().firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        QDomDocument alone = emptyDocument();
        alone.documentElement().appendChild(alone.importNode(child, true));
        if (parse(serialize(alone)))
            root.appendChild(doc.importNode(child, true));
    }
    return doc;
}

} // namespace

QDomDocument SettingsFile::readDocument() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll()).value_or(QDomDocument());
}

std::optional<QString> SettingsFile::read(const QString& key) const
{
    return valueIn(readDocument(), key);
}

bool SettingsFile::parseBool(const QString& text)
{
    const QString upper = text.toUpper();
    if (upper == u"TRUE" || upper == u"YES" || upper == u"Y")
        return true;
    if (upper == u"FALSE" || upper == u"NO" || upper == u"N")
        return false;
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    return ok && number != 0;
}

int SettingsFile::parseInt(const QString& text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok ? number : -1;
}

bool SettingsFile::readBool(const QString& key, bool defaultValue) const
{
    const auto text = read(key);
    return text ? parseBool(*text) : defaultValue;
}

int SettingsFile::readInt(const QString& key, int defaultValue) const
{
    const auto text = read(key);
    return text ? parseInt(*text) : defaultValue;
}

void SettingsFile::write(const QString& key, const QString& text)
{
    QDomDocument doc = readDocument();
    if (doc.documentElement().isNull() || doc.documentElement().tagName() != kRoot) {
        doc = emptyDocument();
    } else {
        // The declaration is always ours.
        for (QDomNode n = doc.firstChild(); !n.isNull();) {
            const QDomNode next = n.nextSibling();
            if (n.isProcessingInstruction() && n.nodeName() == u"xml")
                doc.removeChild(n);
            n = next;
        }
        doc.insertBefore(doc.createProcessingInstruction(QStringLiteral("xml"), kDeclaration), doc.firstChild());
    }
    setValue(doc, key, text);
    QByteArray bytes = serialize(doc);

    // Qt's reader takes some names in one place of a document and refuses
    // them in another (a processing instruction named with a control byte is
    // let through before everything else, not after our declaration), so a
    // file it read can be written back unreadable, which would lose every
    // setting. Then only what reads back is kept, and at the least the key.
    if (!readsBack(bytes, key, text)) {
        QDomDocument rebuilt = rebuiltFrom(doc);
        setValue(rebuilt, key, text);
        bytes = serialize(rebuilt);
        if (!parse(bytes)) {
            rebuilt = emptyDocument();
            setValue(rebuilt, key, text);
            bytes = serialize(rebuilt);
        }
    }

    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QFileInfo(folder).isDir())
        QDir().mkpath(folder);
    platform::SaveFile::write(m_path, bytes);
}

void SettingsFile::writeBool(const QString& key, bool value)
{
    write(key, value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
}

void SettingsFile::writeInt(const QString& key, int value)
{
    write(key, QString::number(value));
}

} // namespace quobex
