#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A fresh, empty home for the program's files: XDG_CONFIG_HOME and
// XDG_CACHE_HOME point into a temporary folder for the life of this object,
// so the data folder is <root>/config/Quobex/.
class TempDataFolder {
public:
    TempDataFolder();
    ~TempDataFolder();

    QString root() const { return m_dir.path(); }
    QString appData() const { return m_dir.path() + QStringLiteral("/config"); }
    QString cache() const { return m_dir.path() + QStringLiteral("/cache"); }
    // The data folder with its trailing slash.
    QString dataFolder() const { return appData() + QStringLiteral("/Quobex/"); }
    QString file(const QString& name) const { return dataFolder() + name; }

    // Creates the data folder.
    void makeDataFolder() const;
    // Points the application-data folder at a path that cannot be made.
    void makeUnusable() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    QByteArray m_oldCache;
    bool m_hadConfig;
    bool m_hadCache;
};

} // namespace testsupport
