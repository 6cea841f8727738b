// The note commands of the menus that take a file or change the media: adding and removing
// slides, importing media, cropping; and files dropped on the note's window.
#include "document/ImportMediaDialogs.h"
#include "document/LQSharingController.h"
#include "document/WrenTextView.h"
#include "model/WrenEvents.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/ClockSource.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "platform/media/MediaInfo.h"
#include "platform/pdf/PdfTestFiles.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/MainMenu.h"
#include "preferences/ArchivedValues.h"
#include "support/FakeMediaImportDialog.h"
#include "support/FakeUiServices.h"
#include "support/IndependentReading.h"
#include "support/MediaFixtures.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/ScriptedPanelPresenter.h"
#include "window/DocumentMenus.h"
#include "window/DocumentWindow.h"
#include "window/DragFileView.h"
#include "window/FindSlidesController.h"
#include "window/NoteWindowFixture.h"
#include "window/TestDeviceEngines.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QTest>

#include <functional>
#include <memory>
#include <tuple>

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class NoteMenuCommandsTest : public testing::Test, protected lq::test::FakeNoteServices
{
protected:
    NoteMenuCommandsTest()
    {
        previousMenu = lq::MainMenu::setCurrent(&mainMenu);
        installDocumentMenus(mainMenu);
        note = std::make_unique<lq::test::NoteWindowFixture>(preferences);
        document = note->document.get();
    }
    ~NoteMenuCommandsTest() override
    {
        note.reset();
        lq::MainMenu::setCurrent(previousMenu);
    }

    QString makeSlides(int pages, const QString &name) const
    {
        const QString path = temp.filePath(name);
        EXPECT_TRUE(lq::test::writePdf(path, QList<QSize>(pages, QSize(400, 300)),
                                       QStringList(pages, u"Slide"_s)));
        return path;
    }
    QString makeFile(const QString &name) const
    {
        QFile file(temp.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        return file.fileName();
    }

    QAction *item(const char *name) const
    {
        for (QMenu *menu : mainMenu.menus())
            if (QAction *action = menu->findChild<QAction *>(QLatin1String(name)))
                return action;
        ADD_FAILURE() << name;
        return nullptr;
    }

    bool enabledWhenShown(const char *name) const
    {
        QMenu *menu = qobject_cast<QMenu *>(item(name)->parent());
        Q_EMIT menu->aboutToShow();
        const bool enabled = item(name)->isEnabled();
        Q_EMIT menu->aboutToHide();
        return enabled;
    }

    lq::test::ScriptedAlertPresenter alerts;
    lq::test::ScriptedPanelPresenter panels;
    lq::test::CountingBeeper beeper;
    lq::MainMenu mainMenu;
    lq::MainMenu *previousMenu = nullptr;
    QTemporaryDir temp;
    std::unique_ptr<lq::test::NoteWindowFixture> note;
    MyDocument *document = nullptr;
};

TEST_F(NoteMenuCommandsTest, AddSlidesAsksForAFileAndTheChosenPdfBecomesTheSlides)
{
    const QString pdf = makeSlides(2, u"talk.pdf"_s);
    const QString text = makeFile(u"notes.txt"_s);
    const QString empty = temp.filePath(u"empty.pdf"_s);
    ASSERT_TRUE(lq::test::writePdfWithoutPages(empty));
    struct Case
    {
        const char *name;
        std::optional<QString> chosen;
        bool slidesAfter;
        int alertsAfter;
    } cases[] = {{"cancelled", std::nullopt, false, 0},
                 {"not a PDF", text, false, 1},
                 {"a PDF without pages", empty, false, 2},
                 {"a PDF", pdf, true, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.chosen)
            panels.choose(*c.chosen);
        else
            panels.cancel();
        EXPECT_TRUE(enabledWhenShown("openAddSlidesDialog"));
        item("openAddSlidesDialog")->trigger();
        note->activate();
        EXPECT_EQ(document->recordingObject().hasSlides(), c.slidesAfter);
        EXPECT_EQ(alerts.shown().size(), c.alertsAfter);
    }
    EXPECT_EQ(alerts.last().request.messageText, u"Error adding slides file %1."_s.arg(empty));
    ASSERT_EQ(panels.shown().size(), 4);
    EXPECT_EQ(panels.shown()[0].kind, lq::FilePanel::Kind::Open);
    EXPECT_EQ(panels.shown()[0].title, u"Add Slides"_s);
    EXPECT_EQ(panels.shown()[0].message,
              u"Select the PDF, Keynote, or PowerPoint file you want to add as slides"_s);
    EXPECT_TRUE(panels.shown()[0].allowedExtensions.isEmpty());
}

TEST_F(NoteMenuCommandsTest, RemoveSlidesIsOfferedOnlyWithSlidesAndCanBeUndone)
{
    EXPECT_FALSE(enabledWhenShown("removeSlides"));
    item("removeSlides")->trigger(); // a shortcut without the menu checks again
    ASSERT_TRUE(document->recordingObject().addSlides(makeSlides(3, u"slides.pdf"_s)));
    document->undoManager()->removeAllActions();

    EXPECT_TRUE(enabledWhenShown("removeSlides"));
    item("removeSlides")->trigger();
    EXPECT_FALSE(document->recordingObject().hasSlides());
    EXPECT_FALSE(enabledWhenShown("removeSlides"));
    document->undoManager()->undo();
    EXPECT_TRUE(document->recordingObject().hasSlides());
}

TEST_F(NoteMenuCommandsTest, ForgetAllSlideChangesIsOfferedWithSlidesWhileNothingPlays)
{
    const WrenEvents &events = document->recordingObject().events();
    EXPECT_FALSE(enabledWhenShown("forgetAllSlideChanges"));
    document->recordingObject().addSession(WrenTimerSession::sessionWithLength(30.0));
    note->controller->addPath(makeSlides(3, u"slides.pdf"_s)); // slide 1 is stamped at the start
    note->activate();
    document->playing = true;
    EXPECT_FALSE(enabledWhenShown("forgetAllSlideChanges"));
    document->playing = false;
    item("forgetAllSlideChanges")->trigger();
    EXPECT_FALSE(events.lastSlideEvent());
    EXPECT_EQ(document->undoManager()->undoActionName(), u"Forget All Slide Changes"_s);
    document->undoManager()->undo();
    EXPECT_TRUE(events.lastSlideEvent());
}

// The slide showing when Record is pressed is the new session's first stamp.
TEST_F(NoteMenuCommandsTest, ARecordingStartsWithTheSlideShowing)
{
    lq::ManualClockSource clock;
    const lq::ClockSource *previousClock = lq::ClockSource::setCurrent(&clock);
    DocumentWindow &w = note->window();
    note->controller->addPath(makeSlides(4, u"slides.pdf"_s));
    for (const int32_t session : {0, 1}) {
        if (session == 1)
            w.nextSlideButton->click(); // to 3, after the turn to 2 while recording
        const uint32_t shown = note->controller->slideNum();
        w.recordButton->click();
        clock.advance(1.0);
        QTest::keyClicks(w.textView, u"ab"_s);
        w.nextSlideButton->click();
        w.recordButton->click();
        const EventTimeline &stamps = document->recordingObject().events().getEvents();
        const auto first = std::find_if(stamps.begin(), stamps.end(),
                                        [&](const auto &s) { return s->session() == session; });
        ASSERT_NE(first, stamps.end());
        EXPECT_EQ(std::tuple((*first)->type(), (*first)->index(), (*first)->offset()),
                  std::tuple(int32_t(WrenTimeStampTypeSlide), shown, 0.0));
    }
    lq::ClockSource::setCurrent(previousClock);
}

TEST_F(NoteMenuCommandsTest, ImportIsRefusedWhileTheNoteRecordsOrPlays)
{
    const QString movie = makeFile(u"talk.mov"_s);
    struct Case
    {
        const char *name;
        bool recording;
        bool playing;
    } cases[] = {{"recording", true, false}, {"playing", false, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        document->recording = c.recording;
        document->playing = c.playing;
        EXPECT_FALSE(enabledWhenShown("openImportMediaDialog"));
        const int beeps = beeper.beeps;
        document->importMediaFromFile(movie);
        EXPECT_EQ(beeper.beeps, beeps + 1);
        EXPECT_TRUE(alerts.shown().isEmpty());
        EXPECT_EQ(document->recordingObject().sessionCount(), 0);
    }
    document->recording = false;
    document->playing = false;
    EXPECT_TRUE(enabledWhenShown("openImportMediaDialog"));
    panels.cancel();
    item("openImportMediaDialog")->trigger();
    ASSERT_EQ(panels.shown().size(), 1);
    EXPECT_EQ(panels.shown()[0].title, u"Import Audio/Video"_s);
    EXPECT_EQ(panels.shown()[0].message, u"Select the audio or video file to import"_s);
}

TEST_F(NoteMenuCommandsTest, AChosenMediaFileBecomesTheFirstSessionAndUndoTakesItOut)
{
    ImportMediaDialogs dialogs;
    MediaImportDialogFactory *previous = MediaImportDialogFactory::setCurrent(&dialogs);
    const QString movie = lq::test::MediaFixtures::path(lq::test::MediaFixture::AacMov, 2.0);
    panels.choose(movie);
    item("openImportMediaDialog")->trigger();
    WrenRecording &recording = document->recordingObject();
    // The media layer reads the file in the background first.
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return recording.sessionCount() == 1; },
                                      std::chrono::seconds(20)));
    ASSERT_EQ(recording.sessionCount(), 1);
    EXPECT_TRUE(recording.session(0)->hasAudio());
    EXPECT_NEAR(recording.length(), 2.0, 0.1);
    EXPECT_EQ(recording.recordingFiles().value(0), QStringList{u"recording-0.mov"_s});
    EXPECT_TRUE(alerts.shown().isEmpty());
    EXPECT_EQ(document->undoManager()->undoActionName(), u"Import Audio/Video"_s);
    // The information bar did not wait for its timer.
    EXPECT_EQ(note->controller->outlets().recLengthField->text(), u"Recorded: 0:00:02"_s);

    document->undoManager()->undo();
    EXPECT_EQ(recording.sessionCount(), 0);
    EXPECT_TRUE(recording.recordingFiles().isEmpty());
    MediaImportDialogFactory::setCurrent(previous);
}

// The exports are offered as the note allows, and the program's engines write the recording in
// the format chosen: the audio-only formats without pictures.
TEST_F(NoteMenuCommandsTest, ExportsAreOfferedAsTheNoteAllowsAndWriteTheChosenMedia)
{
    lq::test::TestDeviceEngines engines({&preferences, &devices});
    EXPECT_TRUE(enabledWhenShown("openExportTextDialog"));
    EXPECT_FALSE(enabledWhenShown("openExportSlidesDialog"));
    EXPECT_FALSE(enabledWhenShown("openExportMediaDialog"));
    note->controller->addPath(makeSlides(2, u"slides.pdf"_s));
    note->activate();
    EXPECT_TRUE(enabledWhenShown("openExportSlidesDialog"));

    WrenRecording &recording = document->recordingObject();
    const QString name = u"recording-0.0.mov"_s;
    ASSERT_TRUE(QFile::copy(lq::test::MediaFixtures::path(lq::test::MediaFixture::H264AacMov, 3.0),
                            QDir(document->tempRecordingDir).filePath(name)));
    const auto session = WrenTimerSession::sessionWithLength(3.0);
    session->setHasAudio(true);
    session->setHasVideo(true);
    recording.addSession(session);
    recording.setRecordingFiles(QStringList{name}, 0);
    document->playing = true;
    EXPECT_FALSE(enabledWhenShown("openExportMediaDialog"));
    document->playing = false;
    EXPECT_TRUE(enabledWhenShown("openExportMediaDialog"));

    const QString aac = u"audio: MPEG-4 AAC"_s;
    const std::tuple<QString, QString, QStringList> cases[] = {
        {u"AAC Audio (.m4a)"_s, u"sound.m4a"_s, {aac}},
        {u"QuickTime Movie - Audio Only (.mov)"_s, u"sound.mov"_s, {aac}},
        {u"QuickTime Movie (.mov)"_s, u"movie.mov"_s, {aac, u"video: H.264"_s}},
    };
    for (const auto &[format, file, expected] : cases) {
        SCOPED_TRACE(format.toStdString());
        const QString path = temp.filePath(file);
        panels.choose([&](lq::FilePanel &panel) -> std::optional<QString> {
            auto *popUp = panel.accessoryView()->findChild<QComboBox *>();
            popUp->setCurrentIndex(popUp->findText(format));
            return path;
        });
        note->activate();
        item("openExportMediaDialog")->trigger();
        QStringList streams = lq::test::discoveredStreams(path);
        streams.sort();
        EXPECT_EQ(streams, expected);
        EXPECT_NEAR(lq::test::discoveredDuration(path).value_or(0.0), 3.0, 0.2);
    }
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST_F(NoteMenuCommandsTest, CropIsOfferedForARecordingThatIsNeitherEmptyNorRunning)
{
    WrenRecording &recording = document->recordingObject();
    EXPECT_FALSE(enabledWhenShown("trimRecordingFromNow")); // nothing recorded
    recording.addSession(WrenTimerSession::sessionWithLength(30.0));
    recording.jumpToPercentage(50.0f);
    EXPECT_TRUE(enabledWhenShown("trimRecordingFromNow"));
    document->playing = true;
    EXPECT_FALSE(enabledWhenShown("trimRecordingFromNow"));
    item("trimRecordingFromNow")->trigger(); // a shortcut checks again
    EXPECT_NEAR(recording.length(), 30.0, 0.01);
    document->playing = false;

    defaults->setBool(u"cropWithoutWarning"_s, true);
    item("trimRecordingFromNow")->trigger();
    EXPECT_NEAR(recording.length(), 15.0, 0.01);
    EXPECT_EQ(document->undoManager()->undoActionName(), u"Crop"_s);
    EXPECT_TRUE(alerts.shown().isEmpty());
}

// Crop, undo, redo, undo, each saved: the session and its stored media always last alike.
TEST_F(NoteMenuCommandsTest, EverySaveAroundACropStoresMediaAsLongAsTheSession)
{
    lq::test::TestDeviceEngines cutting({&preferences, &devices});
    defaults->setBool(u"cropWithoutWarning"_s, true);
    WrenRecording &recording = document->recordingObject();
    const QString name = u"recording-0.0.mov"_s;
    ASSERT_TRUE(QFile::copy(lq::test::MediaFixtures::path(lq::test::MediaFixture::AacMov, 6.0),
                            QDir(document->tempRecordingDir).filePath(name)));
    const auto session = WrenTimerSession::sessionWithLength(6.0);
    session->setHasAudio(true);
    recording.addSession(session);
    recording.setRecordingFiles(QStringList{name}, 0);
    const QString package = temp.filePath(u"cropped.lumaquill"_s);
    ASSERT_TRUE(document->saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
    ASSERT_TRUE(document->save(nullptr)); // the media now lie in the package only
    recording.jumpToPercentage(50.0f);
    lq::UndoManager &undo = *document->undoManager();
    undo.removeAllActions();
    const std::pair<std::function<void()>, double> steps[] = {
        {[&] { item("trimRecordingFromNow")->trigger(); }, 3.0},
        {[&] { undo.undo(); }, 6.0},
        {[&] { undo.redo(); }, 3.0},
        {[&] { undo.undo(); }, 6.0},
    };
    int step = 0;
    for (const auto &[act, seconds] : steps) {
        SCOPED_TRACE(++step);
        act();
        ASSERT_TRUE(document->save(nullptr));
        EXPECT_NEAR(recording.length(), seconds, 0.05);
        const auto media = lq::MediaInfo::probe(QDir(package).filePath(name), 10s, nullptr);
        EXPECT_NEAR(media ? media->duration : 0.0, seconds, 0.1);
    }
}

TEST_F(NoteMenuCommandsTest, FindInSlidesIsOfferedForANoteWithSlidesAndSearchesThem)
{
    EXPECT_FALSE(enabledWhenShown("findSlidesMenuItemSelected"));
    document->addSlides(makeSlides(2, u"talk.pdf"_s));
    note->activate();
    EXPECT_TRUE(enabledWhenShown("findSlidesMenuItemSelected"));
    item("findSlidesMenuItemSelected")->trigger();
    FindSlidesController &find = FindSlidesController::sharedController();
    EXPECT_TRUE(find.isVisible());
    EXPECT_EQ(find.currentDoc(), document);
    delete &find;
}

// Sends a drag offering actions with the files to target, then drops it when it was accepted.
// Answers whether the drag was accepted and whether the drop was.
std::pair<bool, bool> dropFiles(QWidget &target, const QStringList &files, Qt::DropActions actions)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &file : files)
        urls.append(QUrl::fromLocalFile(file));
    data.setUrls(urls);
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted())
        return {false, false};
    QDropEvent dropped(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &dropped);
    return {true, dropped.isAccepted()};
}

TEST_F(NoteMenuCommandsTest, ShareHandsTheNoteToTheWebExportOnlyWhileItCanBeShared)
{
    defaults->setObject(QLatin1String(LQSharingController::kDefaultShareLocationKey),
                        lq::ArchivedValues::encodeFolderURL(QUrl::fromLocalFile(temp.path())));
    defaults->setString(QLatin1String(LQSharingController::kDefaultShareAuthorNameKey), u"Ann"_s);
    LQSharingController &sharing = LQSharingController::sharedSharingController();
    QList<QVariantMap> exported;
    sharing.setExporter(
        [&](MyDocument &doc, const QString &, const QVariantMap &include, lq::Error *error) {
            EXPECT_EQ(&doc, document);
            exported.append(include);
            *error = lq::Error(u"exporting"_s, 0, u"Failed to export HTML: disk full"_s);
            return false;
        });
    // Recording and playing make the note unshareable.
    for (const bool shareable : {true, false}) {
        document->setShareable(shareable);
        EXPECT_EQ(enabledWhenShown("openExportWebDialog"), shareable);
        for (const bool byButton : {true, false}) {
            if (shareable)
                panels.choose(temp.filePath(u"Lecture"_s));
            if (byButton)
                QTest::mouseClick(note->window().shareButton, Qt::LeftButton);
            else
                item("openExportWebDialog")->trigger();
            EXPECT_EQ(sharing.currentDoc(), nullptr);
        }
    }
    sharing.setExporter({});
    // A new note has no recording and no slides to offer.
    ASSERT_EQ(exported.size(), 2);
    for (const QVariantMap &include : exported)
        EXPECT_EQ(include.values(), QVariantList(4, false));
    EXPECT_EQ(panels.shown().size(), 2);
    ASSERT_EQ(alerts.count(), 2);
    EXPECT_EQ(alerts.last().sheetWindow, &note->window());
    EXPECT_EQ(alerts.last().request.messageText, u"Failed to export HTML: disk full"_s);
}

TEST_F(NoteMenuCommandsTest, OneSlidesOrMediaFileDroppedOnTheSlidesPaneReachesTheNote)
{
    lq::test::FakeMediaImportDialogFactory dialogs;
    const QString pdf = makeSlides(2, u"talk.pdf"_s);
    const QString movie = makeFile(u"clip.mov"_s);
    const QString text = makeFile(u"notes.txt"_s);
    const QString folder = temp.filePath(u"folder.pdf"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString vanished = makeSlides(1, u"vanished.pdf"_s);
    ASSERT_TRUE(QFile::remove(vanished));
    const QString threeFiles =
        u"Error - Luma Quill can only accept 1 slides or media file, but received 3 files"_s;
    struct Case
    {
        const char *name;
        QStringList files;
        Qt::DropActions actions;
        bool entered;
        bool accepted;
        bool slides;
        QStringList imported;
        QString alert;
    } cases[] = {
        {"unsupported file", {text}, Qt::CopyAction, true, false, false, {}, {}},
        {"folder", {folder}, Qt::CopyAction, true, false, false, {}, {}},
        {"file that vanished", {vanished}, Qt::CopyAction, true, false, false, {}, {}},
        {"move only", {pdf}, Qt::MoveAction | Qt::LinkAction, false, false, false, {}, {}},
        {"three files", {pdf, movie, text}, Qt::CopyAction, true, false, false, {}, threeFiles},
        {"media file", {movie}, Qt::CopyAction | Qt::MoveAction, true, true, false, {movie}, {}},
        {"slides", {pdf}, Qt::CopyAction, true, true, true, {movie}, {}},
    };
    DragFileView &target = *note->window().slidesDropTarget;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int alertsBefore = alerts.count();
        const auto [entered, accepted] = dropFiles(target, c.files, c.actions);
        EXPECT_EQ(entered, c.entered);
        EXPECT_EQ(accepted, c.accepted);
        EXPECT_EQ(document->recordingObject().hasSlides(), c.slides);
        EXPECT_EQ(dialogs.imported, c.imported);
        EXPECT_EQ(alerts.count(), alertsBefore + (c.alert.isEmpty() ? 0 : 1));
        if (!c.alert.isEmpty()) {
            EXPECT_EQ(alerts.shown().last().request.messageText, c.alert);
        }
    }
    DragFileView unattached;
    EXPECT_EQ(dropFiles(unattached, {pdf}, Qt::CopyAction), std::make_pair(true, false));
}

} // namespace
