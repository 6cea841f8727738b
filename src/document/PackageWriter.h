#pragma once

#include "document/BMAttributedString.h"
#include "platform/foundation/Error.h"

#include <QString>
#include <QStringList>

#include <functional>

// Writes the members of a note package into a new package folder, each through the file
// operations (so that any step can be made to fail). Every failure answers an error of the
// "saving" domain.
class PackageWriter
{
public:
    // Answers whether the save goes on without the missing file.
    using MissingFileQuestion = std::function<bool(const QString &path, bool isSlides)>;

    struct MediaFiles
    {
        QStringList paths;            // the slides file (when there is one) first, then the media
        QString slidesPath;           // empty without slides
        QString currentRecordingFile; // being written now: copied, never linked
    };

    explicit PackageWriter(QString target) : m_target(std::move(target)) {}

    static lq::Error savingError(int code, const QString &message,
                                 const lq::Error *underlying = nullptr);

    QString memberPath(const QString &name) const;

    // The package folder: made when nothing is there, taken as it is when it is a folder, made
    // after removing anything else.
    bool makePackageFolder(lq::Error *error);
    // A new member file; code is the error code of a failure.
    bool writeMember(const QString &name, const QByteArray &data, int code, lq::Error *error);
    // The image files; an unchanged image is linked from the stored package when there is one.
    bool writeImages(const QList<BMImageFileEntry> &images, const QString &storedPackage,
                     lq::Error *error);
    // Links or copies each file into the package; a symbolic link (a file imported by reference)
    // is copied as a link, never resolved. A missing one is asked about; answered by going on,
    // forget(path) is called for a media file and *complete becomes false.
    bool bringInFiles(const MediaFiles &files, const MissingFileQuestion &ask,
                      const std::function<void(const QString &)> &forget, bool *complete,
                      lq::Error *error);

private:
    bool bringInFile(const QString &path, const MediaFiles &files, bool *missing, lq::Error *error);

    QString m_target;
};
