#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Search domains of the folder look-ups, as keys of appSupportPaths().
enum SearchDomain : uint { UserDomain = 1, LocalDomain = 2, NetworkDomain = 4 };

// The application's name, "Luma Quill". Any thread.
QString appName();

// Per search domain, the application's folders under the shared data folders: the user's
// $XDG_DATA_HOME, the local $XDG_DATA_DIRS entries, no network folders. Always holds the three
// keys; a domain without folders maps to an empty list.
QMap<uint, QStringList> appSupportPaths();

// The application's folder under $XDG_CACHE_HOME; nullopt when there is no cache folder.
std::optional<QString> appCachePath();

// The current user's home folder from the user database (not $HOME); nullopt without an entry.
std::optional<QString> LQHomeDir();
