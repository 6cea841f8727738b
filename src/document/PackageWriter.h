#pragma once

#include "document/BMAttributedString.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/FileOperations.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

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

    // A media or slides file as the save found it when it began.
    struct HeldFile
    {
        enum class Kind {
            Missing,
            Linked,       // into the package already
            Staged,       // linked beside itself, to be copied into a package on another volume
            SymbolicLink, // made anew in the package
            Copied,       // brought in by the writer (the file being recorded, say)
        };
        QString path;
        Kind kind = Kind::Copied;
        QString staged;
        QString linkTarget;
        lq::FileIdentity identity; // of a linked or staged file
    };
    // The held files of one save; the links beside files go with it.
    class HeldFiles
    {
    public:
        HeldFiles() = default;
        HeldFiles(const HeldFiles &) = delete;
        HeldFiles &operator=(const HeldFiles &) = delete;
        ~HeldFiles();
        std::vector<HeldFile> files;
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
    // As the save begins (on the main thread): each file is linked into the package now, or
    // beside itself where the package lies on another volume, so that what the user does to it
    // while the save runs (a crop replaces it, an import removes it) does not reach this save.
    // The links are synced with the package's folder as the next member is written. A symbolic
    // link (a file imported by reference) is read, never resolved; the file being recorded is
    // left to bringInFiles.
    void holdFiles(const MediaFiles &files, HeldFiles *held) const;
    // Brings into the package what holdFiles did not, copying the files staged beside
    // themselves. A missing file is asked about; answered by going on, forget(path) is called for
    // a media file and *complete becomes false.
    bool bringInFiles(const HeldFiles &held, const MediaFiles &files,
                      const MissingFileQuestion &ask,
                      const std::function<void(const QString &)> &forget, bool *complete,
                      lq::Error *error);

private:
    HeldFile hold(const QString &path, const MediaFiles &files) const;
    bool bringInHeldFile(const HeldFile &file, const MediaFiles &files, lq::Error *error);
    bool bringInFile(const QString &path, const MediaFiles &files, lq::Error *error);
    bool copyFailed(const QString &path, const QString &destination, const lq::Error &cause,
                    lq::Error *error);

    QString m_target;
};
