#include "document/PackageTestSupport.h"
#include "model/WrenEvents.h"
#include "platform/pdf/PdfTestFiles.h"

#include <QDir>

#include <zip.h>

namespace lq::test {
namespace {

using namespace Qt::StringLiterals;

const QVariantMap kEverything{{u"htmlIncludesAudio"_s, true},
                              {u"htmlIncludesVideo"_s, true},
                              {u"htmlIncludesSlides"_s, true},
                              {u"htmlIncludesOriginal"_s, true}};

QStringList zipEntries(const QString &path)
{
    QStringList names;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, nullptr);
    for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        EXPECT_EQ(stat.comp_method, ZIP_CM_STORE);
        names.append(QString::fromUtf8(zip_get_name(archive, zip_uint64_t(i), 0)));
    }
    if (archive)
        zip_close(archive);
    return names;
}

class WebExportTest : public PackageTest
{
protected:
    WebExportTest() { renew(); }
    void renew()
    {
        document = newDocument();
        document->replaceCharacters(TextRange{0, 0}, u"Notes"_s);
    }
    QString html(const QString &folder) const
    {
        return QString::fromUtf8(readBytes(QDir(folder).filePath(u"index.html"_s)));
    }

    std::unique_ptr<MyDocument> document;
};

TEST_F(WebExportTest, AFolderThatHoldsOrLiesInTheNoteIsRefusedAndNothingIsDeleted)
{
    Error error;
    QDir().mkpath(at(u"Lecture"_s));
    ASSERT_TRUE(document->saveToUrl(at(u"Lecture/x.lumaquill"_s), SaveOperation::SaveAs, &error));
    const QString package = document->fileUrl();
    const QMap<QString, QString> before = treeOf(root.path());
    for (const QString &folder :
         {package, at(u"Lecture"_s), root.path(), package + u"/slides"_s, tempFolder(),
          tempFolder() + u"/web"_s, at(u"Lecture/../Lecture"_s)}) {
        SCOPED_TRACE(folder.toStdString());
        error = Error();
        EXPECT_FALSE(document->exportToHTML(folder, kEverything, &error));
        EXPECT_EQ(error.domain(), u"exporting"_s);
        EXPECT_EQ(error.localizedDescription(),
                  u"Cannot share into a folder that contains this note."_s);
        EXPECT_EQ(treeOf(root.path()), before);
    }
}

TEST_F(WebExportTest, TheMediaFileFollowsTheIncludeOptions)
{
    const struct
    {
        QVariantMap include;
        QString type;
        std::optional<QSize> size;
        bool silent; // only the sessions' lengths are exported
    } cases[] = {
        {kEverything, u"h264_export"_s, QSize(320, 240), false},
        {{{u"htmlIncludesAudio"_s, true}}, u"m4a_export"_s, std::nullopt, false},
        {{}, u"m4a_export"_s, std::nullopt, true},
    };
    addMediaSession(*document, "movie");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type.toStdString() + (c.silent ? " silent" : ""));
        bool exported = false;
        engines.onExport = [&](FakePlaySession &engine) {
            exported = true;
            EXPECT_EQ(engine.exports.first().destination, at(u"page/recording.mp4"_s));
            EXPECT_EQ(engine.exports.first().type, c.type);
            EXPECT_EQ(engine.exports.first().size, c.size);
            ASSERT_EQ(engine.mediaElements.size(), 1);
            EXPECT_EQ(std::holds_alternative<QString>(engine.mediaElements.first()), !c.silent);
        };
        Error error;
        EXPECT_TRUE(document->exportToHTML(at(u"page"_s), c.include, &error));
        EXPECT_TRUE(exported);
        const QString page = html(at(u"page"_s));
        EXPECT_TRUE(page.contains(u"var noMovie = false"_s));
        EXPECT_EQ(page.contains(u"No video"_s), !c.size);
    }
}

TEST_F(WebExportTest, AFailedOrCancelledMediaStepEndsTheExportWithoutAnError)
{
    addMediaSession(*document, "movie");
    engines.playbackScript.exportMedia = false;
    Error error;
    EXPECT_FALSE(document->exportToHTML(at(u"page"_s), kEverything, &error));
    EXPECT_TRUE(error.isNull());
    EXPECT_FALSE(QFile::exists(at(u"page/player.js"_s)));
    EXPECT_FALSE(QFile::exists(at(u"page/page.zip"_s)));
}

TEST_F(WebExportTest, TheExportIsRefusedWhilePlayingOrWithUnreadableSlides)
{
    const QString slides = at(u"slides.pdf"_s);
    ASSERT_TRUE(writePdf(slides, {QSize(200, 100)}));
    ASSERT_TRUE(document->recordingObject().addSlides(slides));
    const QString kept = at(u"page/kept"_s);
    QDir().mkpath(at(u"page"_s));
    writeBytes(kept, "kept");
    for (const bool playing : {true, false}) {
        SCOPED_TRACE(playing ? "playing" : "unreadable slides");
        document->playing = playing;
        if (!playing)
            writeBytes(document->recordingObject().slidesFileName(), "not a PDF");
        Error error;
        EXPECT_FALSE(document->exportToHTML(at(u"page"_s), kEverything, &error));
        EXPECT_EQ(error.localizedDescription(),
                  playing ? u"The note cannot be shared while it records or plays."_s
                          : u"Failed to read slides"_s);
        EXPECT_TRUE(QFile::exists(kept));
    }
}

TEST_F(WebExportTest, TheZippedCopyIsNamedAfterTheNoteAndLeavesTheOpenNoteAsItWas)
{
    for (const QString &savedAs : {QString(), at(u"Lecture.lumaquill"_s)}) {
        SCOPED_TRACE(savedAs.toStdString());
        const QString package = savedAs.isEmpty() ? u"Shared.lumaquill"_s : u"Lecture.lumaquill"_s;
        renew();
        Error error;
        if (!savedAs.isEmpty()) {
            ASSERT_TRUE(document->saveToUrl(savedAs, SaveOperation::SaveAs, &error));
        }
        // A session recorded since the save, still in the temporary folder.
        const QString unsaved = addMediaSession(*document, "new movie");
        const QString folder = at(u"out/Shared"_s);
        QDir().mkpath(folder);
        writeBytes(QDir(folder).filePath(u"planted"_s), "old");
        const uint64_t serial = document->serialNumber();
        // A save the user aborted keeps autosaves refused until the note itself is saved.
        document->setFailedSaveAborted(Error(u"saving"_s, 8, u"Saving was aborted."_s));
        const QStringList recordingFiles = document->recordingObject().allRecordingFiles();

        EXPECT_TRUE(document->exportToHTML(folder, kEverything, &error))
            << error.localizedDescription().toStdString();
        EXPECT_FALSE(QFile::exists(QDir(folder).filePath(u"planted"_s)));
        EXPECT_TRUE(QFile::exists(QDir(folder).filePath(u"player.js"_s)));
        EXPECT_TRUE(html(folder).contains(u"<a href=\"Shared.zip\">"_s));
        EXPECT_TRUE(html(folder).contains(
            u"<h1 id=\"title\">%1</h1>"_s.arg(QFileInfo(package).completeBaseName())));
        const QStringList entries = zipEntries(QDir(folder).filePath(u"Shared.zip"_s));
        EXPECT_TRUE(entries.contains(package + u"/meta"_s)) << entries.join(u' ').toStdString();
        EXPECT_TRUE(entries.contains(package + u"/recording-0.0.mov"_s));
        EXPECT_EQ(readBytes(unsaved), "new movie");
        EXPECT_EQ(document->serialNumber(), serial);
        EXPECT_EQ(document->failedSaveAborted().localizedDescription(), u"Saving was aborted."_s);
        EXPECT_EQ(document->recordingObject().allRecordingFiles(), recordingFiles);
        EXPECT_EQ(document->fileUrl(), savedAs);
        EXPECT_FALSE(QFile::exists(QDir(tempFolder()).filePath(package)));
    }
}

} // namespace
} // namespace lq::test
