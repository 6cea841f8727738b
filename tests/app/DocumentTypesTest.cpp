#include "app/DocumentTypes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(DocumentTypesTest, FoldersAreNotesAndSlidesAndMediaAreImported)
{
    QTemporaryDir folder;
    const struct
    {
        const char *name;
        bool isFolder;
        DocumentType type;
    } cases[] = {
        {"Talk.lumaquill", true, DocumentType::Note},
        {"plain folder", true, DocumentType::Note},
        {"folder.pdf", true, DocumentType::Note},
        {"damaged.lumaquill", false, DocumentType::Note},
        {"slides.pdf", false, DocumentType::Import},
        {"movie.mov", false, DocumentType::Import},
        {"SONG.MP3", false, DocumentType::Import},
        {"voice.m4a", false, DocumentType::Import},
        {"letter.txt", false, DocumentType::Unsupported},
        {"no extension", false, DocumentType::Unsupported},
        {"slides.PDF.txt", false, DocumentType::Unsupported},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.filePath(QLatin1String(c.name));
        if (c.isFolder)
            ASSERT_TRUE(QDir().mkpath(path));
        else
            ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
        EXPECT_EQ(documentTypeForContentsOfUrl(path), c.type);
    }
    // A link to a slides file is imported like the file.
    const QString link = folder.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(folder.filePath(QStringLiteral("slides.pdf")), link));
    EXPECT_EQ(documentTypeForContentsOfUrl(link), DocumentType::Import);
}

} // namespace
