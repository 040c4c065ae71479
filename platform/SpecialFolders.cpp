#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFile>
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
    // The shell's folders always exist; a fresh account may not have its
    // XDG folders yet, and the programs make only their own folder inside.
    // Made as the XDG rules ask (owner only); when that fails, the caller's
    // own folder check reports it.
    if (!path.isEmpty() && !QFileInfo(path).isDir() && QDir().mkpath(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
