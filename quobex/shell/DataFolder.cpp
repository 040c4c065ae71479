#include "quobex/shell/DataFolder.h"

#include "platform/SaveFile.h"
#include "platform/SpecialFolders.h"
#include "quobex/config/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quobex::DataFolder {

QString pathWithoutSeparator()
{
    return platform::SpecialFolderPath(platform::kAppDataFolder) + QLatin1Char('/') + DataFiles::kFolderName;
}

QString path()
{
    return pathWithoutSeparator() + QLatin1Char('/');
}

QString file(const QString& name)
{
    return path() + name;
}

void applyVersionMarker(const QString& folder, const QByteArray& versionText)
{
    const QString marker = folder + DataFiles::kVersionMarker;
    if (QFileInfo::exists(marker))
        return;
    platform::SaveFile::write(marker, versionText);
    QFile::remove(folder + DataFiles::kItems);
}

} // namespace quobex::DataFolder
