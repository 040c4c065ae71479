#pragma once

#include <QString>

// The per-user data folder: the application-data folder followed by
// "Quobex/". Every data file of the program lives in it.
namespace quobex::DataFolder {

// The data folder with its trailing separator.
QString path();
// The data folder without the trailing separator.
QString pathWithoutSeparator();
// The full name of a file in the data folder.
QString file(const QString& name);

// A data folder without the version marker holds an items file of an
// installation that predates the marker: that items file is deleted and the
// marker written with `versionText`. A marker that exists is never rewritten
// and its content never looked at. A marker that cannot be written is no error.
void applyVersionMarker(const QString& folder, const QByteArray& versionText);

} // namespace quobex::DataFolder
