#include "quobex/store/AlertDefinitions.h"

#include "platform/TextList.h"
#include "quobex/config/DataFiles.h"

#include <QFile>
#include <QFileInfo>

namespace quobex {

namespace {

void loadIfExists(const QString& path, QList<QByteArray>& list)
{
    if (QFileInfo::exists(path))
        list = platform::TextList::load(path);
}

} // namespace

AlertDefinitions AlertDefinitions::load(const QString& folder)
{
    AlertDefinitions defs;
    loadIfExists(folder + DataFiles::kKeywords, defs.KeywordList);
    loadIfExists(folder + DataFiles::kItemTypes, defs.ItemTypeList);
    loadIfExists(folder + DataFiles::kLocalizations, defs.LocalizationList);
    if (!defs.isConsistent()) {
        defs.clear();
        QFile::remove(folder + DataFiles::kItems);
    }
    return defs;
}

void AlertDefinitions::save(const QString& folder) const
{
    platform::TextList::save(folder + DataFiles::kKeywords, KeywordList);
    platform::TextList::save(folder + DataFiles::kItemTypes, ItemTypeList);
    platform::TextList::save(folder + DataFiles::kLocalizations, LocalizationList);
}

} // namespace quobex
