#pragma once

#include <QString>

// The names of the program's files. All but the settings file live in the
// data folder; the settings file lives beside that folder.
namespace quobex::DataFiles {

inline const QString kFolderName = QStringLiteral("Quobex");
inline const QString kVersionMarker = QStringLiteral("quobex_version.dat");
inline const QString kKeywords = QStringLiteral("quobex_keyword_config.dat");
inline const QString kItemTypes = QStringLiteral("quobex_itemtype_config.dat");
inline const QString kLocalizations = QStringLiteral("quobex_localization_config.dat");
inline const QString kItems = QStringLiteral("quobex_amazon_items.dat");
inline const QString kLatestAlertIndex = QStringLiteral("quobex_latest_alert_index.dat");
// The program's own bookkeeping: the products each alert has brought, and
// how each alert's checks went.
inline const QString kSeenItems = QStringLiteral("quobex_seen_items.dat");
inline const QString kAlertChecks = QStringLiteral("quobex_alert_checks.dat");
inline const QString kSettings = QStringLiteral("QuobexSettings.xml");

} // namespace quobex::DataFiles
