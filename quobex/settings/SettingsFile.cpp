#include "quobex/settings/SettingsFile.h"

#include "platform/Errors.h"
#include "platform/SaveFile.h"
#include "platform/SpecialFolders.h"
#include "platform/XmlDocument.h"
#include "quobex/config/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QTextStream>

namespace quobex {

namespace {

const QString kRoot = QStringLiteral("Configuration");
const QString kDeclaration = QStringLiteral("version=\"1.0\" encoding=\"iso-8859-1\"");

} // namespace

QString SettingsFile::defaultPath()
{
    return platform::SpecialFolderPath(platform::kAppDataFolder) + QLatin1Char('/') + DataFiles::kSettings;
}

QDomDocument SettingsFile::readDocument() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QDomDocument doc;
    // A file nested too deep reads as no settings, like any unreadable one.
    if (!platform::Xml::nestedWithin(bytes, platform::XmlDocument::kMaxDepth) || !doc.setContent(bytes))
        return {};
    return doc;
}

std::optional<QString> SettingsFile::read(const QString& key) const
{
    const QDomElement root = readDocument().documentElement();
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
    QDomElement root = doc.documentElement();
    if (root.isNull() || root.tagName() != kRoot) {
        doc = QDomDocument();
        root = doc.createElement(kRoot);
        doc.appendChild(root);
    }
    // The declaration is always ours.
    for (QDomNode n = doc.firstChild(); !n.isNull();) {
        const QDomNode next = n.nextSibling();
        if (n.isProcessingInstruction() && n.nodeName() == u"xml")
            doc.removeChild(n);
        n = next;
    }
    doc.insertBefore(doc.createProcessingInstruction(QStringLiteral("xml"), kDeclaration), doc.firstChild());

    QDomElement element = root.firstChildElement(key);
    if (element.isNull()) {
        element = doc.createElement(key);
        root.appendChild(element);
    }
    while (!element.firstChild().isNull())
        element.removeChild(element.firstChild());
    element.appendChild(doc.createTextNode(text));

    QByteArray bytes;
    {
        QTextStream out(&bytes);
        out.setEncoding(QStringConverter::Latin1);
        doc.save(out, 2, QDomNode::EncodingFromDocument);
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
