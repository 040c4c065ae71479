#pragma once

#include <QString>

namespace platform {

// The user's folders by their shell numbers. 26 is the application-data
// folder, 32 the Internet cache folder. Off Windows these are the XDG config
// and cache folders ($XDG_CONFIG_HOME or ~/.config, $XDG_CACHE_HOME or
// ~/.cache), made when missing, as the shell's always exist. Returns the
// path without a trailing separator, or an empty string when the number is
// unknown or the folder cannot be resolved.
QString SpecialFolderPath(int number);

// True when `dir` is a directory or could be made one; only its last level
// is made, the parent must exist.
bool EnsureFolder(const QString& dir);
// A path as the user's system writes it, for messages.
QString NativePath(const QString& path);

constexpr int kAppDataFolder = 26;
constexpr int kInternetCacheFolder = 32;

} // namespace platform
