#include "document/FolderZipArchive.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

namespace {

constexpr int kCannotMakeArchive = 4929;
constexpr int kCannotWriteArchive = 4930;

lq::Error zipError(int code, const QString &reason)
{
    return lq::Error(QStringLiteral("exporting"), code,
                     QStringLiteral("Failed to zip original when exporting"))
        .withFailureReason(reason);
}

bool addItem(zip_t *archive, const QFileInfo &item, const QString &name)
{
    const QByteArray entry = name.toUtf8();
    if (item.isDir())
        return zip_dir_add(archive, entry.constData(), ZIP_FL_ENC_UTF_8) >= 0;
    zip_source_t *source =
        zip_source_file(archive, QFile::encodeName(item.absoluteFilePath()).constData(), 0, -1);
    if (!source)
        return false;
    const zip_int64_t index =
        zip_file_add(archive, entry.constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    return zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0) == 0;
}

} // namespace

bool zipFolder(const QString &folder, const QString &archivePath, lq::Error *error)
{
    int openError = 0;
    zip_t *archive =
        zip_open(QFile::encodeName(archivePath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &openError);
    if (!archive) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, openError);
        lq::setError(error,
                     zipError(kCannotMakeArchive, QString::fromUtf8(zip_error_strerror(&reason))));
        zip_error_fini(&reason);
        return false;
    }
    const QDir base = QFileInfo(folder).dir();
    bool added = addItem(archive, QFileInfo(folder), QFileInfo(folder).fileName() + u'/');
    QDirIterator items(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (added && items.hasNext()) {
        const QFileInfo item(items.next());
        const QString name = base.relativeFilePath(item.absoluteFilePath());
        added = addItem(archive, item, item.isDir() ? name + u'/' : name);
    }
    if (!added || zip_close(archive) != 0) {
        const QString reason = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        QFile::remove(archivePath);
        lq::setError(error, zipError(kCannotWriteArchive, reason));
        return false;
    }
    return true;
}
