#include "app/DocumentTypes.h"

#include "document/MyDocument.h"
#include "shared/FileKinds.h"

#include <QFileInfo>

DocumentType documentTypeForContentsOfUrl(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() || info.suffix() == QLatin1String(MyDocument::kFileExtension))
        return DocumentType::Note;
    if (isSlidesFile(path) || isQTFile(path))
        return DocumentType::Import;
    return DocumentType::Unsupported;
}
