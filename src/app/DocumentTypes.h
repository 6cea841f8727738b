#pragma once

#include <QString>

// Which document class opens a file: note packages (and any other folder, the default type) as
// notes, slides and media files through the import proxy.
enum class DocumentType { Note, Import, Unsupported };

DocumentType documentTypeForContentsOfUrl(const QString &path);
