#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <shlobj.h>
#include <windows.h>
#endif

namespace platform {

QString SpecialFolderPath(int number)
{
#ifdef Q_OS_WIN
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, number, &list)))
        return {};
    wchar_t buffer[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(list, buffer);
    CoTaskMemFree(list);
    return ok ? QString::fromWCharArray(buffer) : QString();
#else
    QStandardPaths::StandardLocation location;
    switch (number) {
    case kAppDataFolder:
        location = QStandardPaths::GenericConfigLocation;
        break;
    case kInternetCacheFolder:
        location = QStandardPaths::GenericCacheLocation;
        break;
    default:
        return {};
    }
    QString path = QStandardPaths::writableLocation(location);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
#endif
}

bool EnsureFolder(const QString& dir)
{
    if (QFileInfo(dir).isDir())
        return true;
    return QDir().mkdir(dir);
}

QString NativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace platform
