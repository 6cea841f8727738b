#pragma once

#include <QString>

#include <optional>

// The final target of a chain of symbolic links; nullopt when a link cannot be read, dangles
// or loops. A path that is no link comes back unchanged.
std::optional<QString> resolveSymlinks(const QString &path);

// The path, with links resolved, names a slides PDF: its extension is exactly "pdf".
bool isSlidesFile(const QString &path);

// The path, with links resolved, names a media file the media layer can open.
bool isQTFile(const QString &path);
