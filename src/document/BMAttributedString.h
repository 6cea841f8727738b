#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/Error.h"
#include "platform/text/ArchiveAttributes.h"
#include "platform/text/AttributedString.h"

#include <QByteArray>
#include <QList>
#include <QSet>

#include <cstdint>
#include <memory>

// An image file the package must hold: its name inside the package, its bytes, and whether the
// package folder given to the conversion already has exactly these bytes under that name (the
// saver then links the old file instead of writing it).
struct BMImageFileEntry
{
    QString filePath;
    QByteArray fileData;
    bool fileUnchanged = false;
};

// The portable form of the notes' text (the package member "bmtext"): the characters with only
// plain property-list attributes ("BMFont", "BMTextList", "BMBackgroundColor",
// "BMUnderlineStyle", "BMUnderlineColor", "BMImageAttachment"), and the images as separate
// "image-" files. Made, read and archived by one thread.
class BMAttributedString : public lq::Archivable
{
public:
    BMAttributedString() = default;
    explicit BMAttributedString(const QString &string);

    // The portable form of text. imageDir is the package folder as it is on disk now (empty for
    // a never-saved note); imageNumber the document's image counter, advanced by one for each
    // image that gets a new name.
    static std::shared_ptr<BMAttributedString>
    BMAttributedStringWithMacAttributedString(const lq::AttributedString &text,
                                              const QString &imageDir, int64_t imageNumber);
    // The text back, its images read from imageDir.
    lq::AttributedString macAttributedStringWithImageDir(const QString &imageDir) const;
    // Gives the attachments of text (read from "text") their file names inside the package,
    // where a portable image run has exactly the range of text's attachment run.
    void fixUpMacAttributedStringFrom(lq::AttributedString &text, const QString &imageDir) const;

    // The image files met by the conversion from the text.
    QList<BMImageFileEntry> imageFiles() const { return m_images; }
    // Advances the counter and answers "image-" and its value, skipping names this conversion
    // already uses; empty when the counter is exhausted.
    QString nextImageFile();
    int64_t imageNumber() const { return m_imageCounter; }
    void setImageNumber(int64_t imageNumber) { m_imageCounter = imageNumber; }

    const lq::ArchivedAttributedString &myString() const { return m_myString; }
    void setMyString(lq::ArchivedAttributedString string) { m_myString = std::move(string); }
    QString description() const;

    // The keyed archive: "myString" (attributed-string layout) and "imageCounter".
    QStringList archiveClassNames() const override;
    void encodeWithCoder(lq::KeyedArchiver &coder) const override;
    QByteArray archivedData() const;
    static std::shared_ptr<BMAttributedString> unarchived(const QByteArray &data,
                                                          lq::Error *error = nullptr);

private:
    std::optional<lq::ArchiveValue> imageAttribute(const lq::TextAttachment &attachment,
                                                   const QString &imageDir,
                                                   QSet<QString> &keptNames);

    lq::ArchivedAttributedString m_myString;
    int64_t m_imageCounter = 0;
    QList<BMImageFileEntry> m_images;
    // Names without extension that this conversion must not hand out again.
    QSet<QString> m_usedImageStems;
};
