#include "platform/pdf/FileReplacement.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

namespace lq {

QString FileReplacement::temporaryPathNextTo(const QString &destination)
{
    const QFileInfo info(destination);
    const QString prefix = info.absolutePath() + QLatin1String("/.") + info.fileName();
    QString candidate;
    do {
        const QString suffix = QString::number(QRandomGenerator::global()->generate(), 36);
        candidate = prefix + QLatin1Char('.') + suffix + QLatin1String(".tmp");
    } while (FileOperations::current().exists(candidate));
    return candidate;
}

bool FileReplacement::moveOnto(const QString &source, const QString &destination, Error *error)
{
    FileOperations &files = FileOperations::current();
    Error moveError;
    if (files.move(source, destination, &moveError))
        return true;
    // A move that will not replace a file: set the old file aside and put it back on failure.
    if (moveError.code() != EEXIST || !files.exists(destination)) {
        setError(error, moveError);
        return false;
    }
    const QString aside = temporaryPathNextTo(destination);
    if (!files.move(destination, aside, error))
        return false;
    if (!files.move(source, destination, error)) {
        Error restoreError;
        if (!files.move(aside, destination, &restoreError))
            log(QStringLiteral("The previous contents of %1 are kept at %2: %3\n")
                    .arg(destination, aside, restoreError.localizedDescription()));
        return false;
    }
    Error removeError;
    if (!files.remove(aside, &removeError))
        log(QStringLiteral("Could not remove %1: %2\n")
                .arg(aside, removeError.localizedDescription()));
    return true;
}

} // namespace lq
