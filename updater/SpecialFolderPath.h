#pragma once

#include <QString>

namespace updater {

// The user's folder by its shell number (32: the Internet cache folder,
// off Windows $XDG_CACHE_HOME or ~/.cache), without a trailing separator;
// empty when the number is unknown.
QString SpecialFolderPath(int number);

} // namespace updater
