#pragma once

#include <QDomDocument>
#include <QString>

#include <optional>

namespace quobex {

// The settings file: an XML document (declaration version "1.0", encoding
// "iso-8859-1") whose root "Configuration" holds one element per key, named
// as the key, with the value as its text. Every read looks at the file's
// current content; every write reads the file, sets one key (appending its
// element at the end of the root when it is new) and writes the whole file
// back, keeping whatever else it holds.
class SettingsFile {
public:
    explicit SettingsFile(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    // The key's text, or nothing when the file or the element is missing.
    std::optional<QString> read(const QString& key) const;
    bool readBool(const QString& key, bool defaultValue) const;
    int readInt(const QString& key, int defaultValue) const;

    // Throws IoError when the file or its folder cannot be written.
    void write(const QString& key, const QString& text);
    void writeBool(const QString& key, bool value);
    void writeInt(const QString& key, int value);

    // The reading rules, on their own. "TRUE", "YES", "Y" are true and
    // "FALSE", "NO", "N" false, in any letter case; another text is true
    // when it is a number other than 0.
    static bool parseBool(const QString& text);
    // The text as a signed decimal integer, or -1 when it is not one.
    static int parseInt(const QString& text);

    // The settings file in the user's application-data folder.
    static QString defaultPath();

private:
    QDomDocument readDocument() const;

    QString m_path;
};

} // namespace quobex
