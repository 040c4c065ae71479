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
// installation that predates the marker: the marker is written with
// `versionText`, then that items file is deleted. A marker that exists is
// never rewritten and its content never looked at. A marker that cannot be
// written throws IoError and the items file stays: deleting it without the
// marker would delete the found products again at every start.
void applyVersionMarker(const QString& folder, const QByteArray& versionText);

} // namespace quobex::DataFolder
