#include "tests/support/TempDataFolder.h"

#include <QDir>
#include <QFile>

namespace testsupport {

TempDataFolder::TempDataFolder()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME")), m_oldCache(qgetenv("XDG_CACHE_HOME")),
      m_hadConfig(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")), m_hadCache(qEnvironmentVariableIsSet("XDG_CACHE_HOME"))
{
    QDir().mkpath(appData());
    QDir().mkpath(cache());
    qputenv("XDG_CONFIG_HOME", appData().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", cache().toLocal8Bit());
}

TempDataFolder::~TempDataFolder()
{
    if (m_hadConfig)
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    else
        qunsetenv("XDG_CONFIG_HOME");
    if (m_hadCache)
        qputenv("XDG_CACHE_HOME", m_oldCache);
    else
        qunsetenv("XDG_CACHE_HOME");
}

void TempDataFolder::makeDataFolder() const
{
    QDir().mkpath(dataFolder());
}

void TempDataFolder::makeUnusable() const
{
    // A regular file where a folder should be: nothing can be made below it.
    const QString blocker = root() + QStringLiteral("/not-a-folder");
    QFile file(blocker);
    file.open(QIODevice::WriteOnly);
    qputenv("XDG_CONFIG_HOME", (blocker + QStringLiteral("/config")).toLocal8Bit());
}

} // namespace testsupport
