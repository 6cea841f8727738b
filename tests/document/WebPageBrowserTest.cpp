#include "document/PackageTestSupport.h"
#include "engines/avf/MediaEngineFactory.h"
#include "model/WrenEvents.h"
#include "platform/media/MovieBoxes.h"
#include "platform/pdf/PdfTestFiles.h"
#include "support/MediaFixtures.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

namespace lq::test {
namespace {

using namespace Qt::StringLiterals;

// Typed text that would break the page or run as script if it were not escaped.
const QString kHostile =
    u"a</script><script>window.pwned=1</script><!-- \"q\" 'q' & \t\u0007\u001B\u200F"
    "<img src=x onerror=\"window.pwned=2\">\U0001F600z"_s;
constexpr double kSecondsPerCharacter = 0.02;
constexpr double kRecordingSeconds = 3.0;
constexpr double kSecondSlideAt = 1.5;

struct RealEngines
{
    MediaEngineFactory engines;
    LQEngineFactory *previous = LQEngineFactory::setCurrent(&engines);
    ~RealEngines() { LQEngineFactory::setCurrent(previous); }
};

using WebPageBrowserTest = PackageTest;

TEST_F(WebPageBrowserTest, ThePagePlaysInABrowserAndTheTextStaysText)
{
    const QString chromium = QStandardPaths::findExecutable(u"chromium"_s);
    if (chromium.isEmpty())
        GTEST_SKIP() << "chromium is not installed: the exported page is not checked in a browser";
    RealEngines realEngines;

    // Every character typed kSecondsPerCharacter after the one before, with a movie of
    // kRecordingSeconds and two slides, the second shown at kSecondSlideAt.
    const QString text = u"Intro line\n"_s + kHostile + u"\nend"_s;
    const std::unique_ptr<MyDocument> note = newDocument();
    note->replaceCharacters(TextRange{0, 0}, text);
    WrenRecording &recording = note->recordingObject();
    const auto session = WrenTimerSession::sessionWithLength(kRecordingSeconds);
    session->setHasAudio(true);
    session->setHasVideo(true);
    recording.addSession(session);
    QFile::copy(MediaFixtures::path(MediaFixture::H264AacMov, kRecordingSeconds),
                QDir(tempFolder()).filePath(u"recording-0.0.mov"_s));
    recording.setRecordingFiles(QStringList{u"recording-0.0.mov"_s}, 0);
    recording.setAVFPlayable(true);
    for (qsizetype i = 0; i < text.size(); ++i)
        recording.events().insertEvent(
            WrenTimeStamp::initWithKey(uint32_t(i), 0, double(i) * kSecondsPerCharacter), true);
    ASSERT_TRUE(
        writePdf(at(u"slides.pdf"_s), {QSize(400, 300), QSize(400, 300)}, {u"One"_s, u"Two"_s}));
    ASSERT_TRUE(recording.addSlides(at(u"slides.pdf"_s)));
    recording.events().insertEvent(WrenTimeStamp::initWithSlide(1, 0, 0.0), false);
    recording.events().insertEvent(WrenTimeStamp::initWithSlide(2, 0, kSecondSlideAt), false);

    const QString folder = at(u"shared"_s);
    Error error;
    ASSERT_TRUE(note->exportToHTML(folder,
                                   {{u"htmlIncludesAudio"_s, true},
                                    {u"htmlIncludesVideo"_s, true},
                                    {u"htmlIncludesSlides"_s, true}},
                                   &error))
        << error.localizedDescription().toStdString();
    // The movie's index comes before its media, so the browser can play while it loads.
    QFile mp4(QDir(folder).filePath(u"recording.mp4"_s));
    ASSERT_TRUE(mp4.open(QIODevice::ReadOnly));
    QStringList boxes;
    for (auto box = movie::readTopLevelBox(mp4, 0); box;
         box = movie::readTopLevelBox(mp4, box->end))
        boxes.append(QString::fromLatin1(box->type));
    ASSERT_TRUE(boxes.contains(u"mdat"_s)) << boxes.join(u' ').toStdString();
    EXPECT_LT(boxes.indexOf(u"moov"_s), boxes.indexOf(u"mdat"_s)) << boxes.join(u' ').toStdString();
    EXPECT_TRUE(QFile::exists(QDir(folder).filePath(u"slides/2.png"_s)));

    // Links follow the text without its paragraph ends; the emoji is one link.
    QString shown = text;
    shown.remove(u'\n');
    std::vector<int> linkOf;
    for (int i = 0, link = 0; i < text.size(); ++i)
        linkOf.push_back(text.at(i) == u'\n' || text.at(i).isLowSurrogate() ? -1 : link++);
    QJsonArray clicks;
    for (const qsizetype index : {qsizetype(2), text.indexOf(u"<script>"_s),
                                  text.indexOf(u"\U0001F600"_s), text.size() - 1})
        clicks.append(QJsonArray{linkOf[size_t(index)], double(index) * kSecondsPerCharacter});
    // Playback stops within a few frames after playUntil.
    const double playUntil = 2.0;
    const auto lastTypedBy = [&](double seconds) {
        qsizetype index = std::min(text.size() - 1, qsizetype(seconds / kSecondsPerCharacter));
        while (linkOf[size_t(index)] < 0)
            --index;
        return linkOf[size_t(index)];
    };
    const QJsonObject expected{
        {u"duration"_s, kRecordingSeconds},
        {u"videoWidth"_s, 320},
        {u"text"_s, shown},
        {u"clicks"_s, clicks},
        {u"playUntil"_s, playUntil},
        {u"underlined"_s, QJsonArray{lastTypedBy(playUntil - 0.05), lastTypedBy(playUntil + 0.25)}},
        {u"slideAt"_s, 2},
    };
    const QString expectedPath = at(u"expected.json"_s);
    writeBytes(expectedPath, QJsonDocument(expected).toJson());

    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    // The system's Python, which has Debian's websocket package.
    const QString python =
        QFile::exists(u"/usr/bin/python3"_s) ? u"/usr/bin/python3"_s : u"python3"_s;
    check.start(python, {QStringLiteral(LQ_SOURCE_DIR "/tests/document/web_page_check.py"),
                         chromium, QDir(folder).filePath(u"index.html"_s), expectedPath,
                         QCoreApplication::applicationDirPath() + u"/web-page.png"_s});
    ASSERT_TRUE(check.waitForFinished(120000));
    const QString output = QString::fromUtf8(check.readAll());
    EXPECT_EQ(check.exitCode(), 0) << output.toStdString();
    std::cout << output.toStdString();
}

} // namespace
} // namespace lq::test
