#include "document/PackageTestSupport.h"
#include "platform/media/MediaPlayability.h"
#include "support/MediaFixtures.h"

using namespace lq;
using namespace lq::test;

namespace {

class MyDocumentOldMediaTest : public PackageTest
{
protected:
    // A note whose session 0 holds sound the player cannot take (Vorbis) and session 1 sound
    // it plays, saved by a version that had not checked them.
    QString noteWithOldMedia()
    {
        auto document = newDocument();
        addMediaSession(*document, readBytes(MediaFixtures::path(MediaFixture::VorbisOgg, 1.0)));
        addMediaSession(*document, readBytes(MediaFixtures::path(MediaFixture::AacMov, 1.0)));
        document->recordingObject().setAVFPlayable(false);
        const QString package = at(QStringLiteral("old.lumaquill"));
        EXPECT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
        return package;
    }
};

struct OpenCase
{
    const char *name;
    int answer; // 0 "Convert", 1 "Not now"
    bool converted;
};

TEST_F(MyDocumentOldMediaTest, OldMediaAreConvertedWhenTheNoteOpens)
{
    const OpenCase cases[] = {
        {"convert", 0, true},
        {"not now", 1, false},
    };
    for (const OpenCase &openCase : cases) {
        SCOPED_TRACE(openCase.name);
        const QString package = noteWithOldMedia();
        const QByteArray packaged = readBytes(package + QStringLiteral("/recording-0.0.mov"));
        const QString converted = QDir(tempFolder()).filePath(QStringLiteral("recording-0.0.mov"));
        QFile::remove(converted);

        alerts.addResponse(openCase.answer);
        auto document = newDocument();
        Error error;
        ASSERT_TRUE(document->openUrl(package, &error))
            << error.localizedDescription().toStdString();
        WrenRecording &recording = document->recordingObject();
        QStringList asked;
        for (const ScriptedAlertPresenter::Shown &shown : alerts.shown())
            asked.append(shown.request.messageText);
        EXPECT_TRUE(asked.contains(QStringLiteral("Convert audio/video?")));
        EXPECT_FALSE(asked.contains(QStringLiteral("Error parsing media")));
        EXPECT_EQ(recording.AVFPlayable(), openCase.converted);
        EXPECT_EQ(recording.session(0)->saved(), !openCase.converted);
        EXPECT_TRUE(recording.session(1)->saved()); // it plays as it is
        EXPECT_EQ(MediaPlayability(MediaPlayability::SelfReport::Never).isPlayable(converted),
                  openCase.converted);
        // The package keeps its file until the note is saved.
        EXPECT_EQ(readBytes(package + QStringLiteral("/recording-0.0.mov")), packaged);
        document.reset();
        QDir(package).removeRecursively();
    }
}

} // namespace
