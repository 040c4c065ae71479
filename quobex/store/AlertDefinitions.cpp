#include "quobex/store/AlertDefinitions.h"

#include "platform/SaveFile.h"
#include "platform/TextList.h"
#include "quobex/config/DataFiles.h"

#include <QFile>

namespace quobex {

AlertDefinitions AlertDefinitions::load(const QString& folder)
{
    AlertDefinitions defs;
    platform::TextList::loadIfExists(folder + DataFiles::kKeywords, defs.KeywordList);
    platform::TextList::loadIfExists(folder + DataFiles::kItemTypes, defs.ItemTypeList);
    platform::TextList::loadIfExists(folder + DataFiles::kLocalizations, defs.LocalizationList);
    if (!defs.isConsistent()) {
        defs.clear();
        QFile::remove(folder + DataFiles::kItems);
    }
    return defs;
}

void AlertDefinitions::save(const QString& folder) const
{
    // Files of unequal length throw every alert and the items file away at
    // the next start. So all three are written whole before any replaces
    // its predecessor: a failed write leaves the old set as it was.
    platform::SaveFile keywords(folder + DataFiles::kKeywords);
    platform::SaveFile itemTypes(folder + DataFiles::kItemTypes);
    platform::SaveFile localizations(folder + DataFiles::kLocalizations);
    keywords.write(platform::TextList::join(KeywordList));
    itemTypes.write(platform::TextList::join(ItemTypeList));
    localizations.write(platform::TextList::join(LocalizationList));
    keywords.commit();
    itemTypes.commit();
    localizations.commit();
}

} // namespace quobex
