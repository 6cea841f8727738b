#include "document/EditingTestSupport.h"
#include "document/MediaSidebar.h"
#include "document/PackageTestSupport.h"
#include "platform/foundation/MainThread.h"
#include "support/ScriptedAlertPresenter.h"

#include <QAbstractButton>
#include <QFile>
#include <QSplitter>
#include <QTest>

namespace {

using lq::test::EditingTest;
using namespace Qt::StringLiterals;

constexpr uint32_t kSlide = 2;
constexpr double kSlideOffset = 30.0;

size_t slideStamps(const WrenRecording &recording)
{
    size_t count = 0;
    for (const WrenTimeStampPtr &stamp : recording.events().getEvents())
        count += stamp->type() == WrenTimeStampTypeSlide ? 1 : 0;
    return count;
}

double sessionNow(const WrenRecording &recording)
{
    double now = -1.0;
    recording.session(0)->nowInterval(&now);
    return now;
}

TEST_F(EditingTest, ASlideChangeIsStampedOrFollowedByTheTransportAndTheLock)
{
    enum Outcome { Follows, Stamped, Nothing };
    struct Case
    {
        bool playing;
        bool recording;
        int32_t mode;
        Outcome outcome;
    };
    const Case cases[] = {
        {true, false, 1, Follows},  {true, true, 1, Follows},  {true, true, 2, Stamped},
        {true, true, 5, Stamped},   {true, false, 2, Stamped}, {true, false, 5, Nothing},
        {false, true, 1, Stamped},  {false, true, 2, Stamped}, {false, false, 1, Follows},
        {false, false, 2, Follows},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "playing " << c.playing << ", recording " << c.recording
                                        << ", mode " << c.mode);
        open(u"abc"_s);
        recording().events().addSessionLength(60.0f, 0);
        recording().events().insertEvent(WrenTimeStamp::initWithSlide(kSlide, 0, kSlideOffset),
                                         false);
        const size_t stampsBefore = slideStamps(recording());
        const double nowBefore = sessionNow(recording());
        ASSERT_NE(nowBefore, kSlideOffset);
        document->playing = c.playing;
        document->recording = c.recording;
        document->playbackMode = c.mode;

        document->gotoSlide(kSlide);

        EXPECT_EQ(slideStamps(recording()), stampsBefore + (c.outcome == Stamped ? 1 : 0));
        EXPECT_DOUBLE_EQ(sessionNow(recording()), c.outcome == Follows ? kSlideOffset : nowBefore);
        document->playing = document->recording = false;
    }
}

TEST_F(EditingTest, TheEditLockSetsItsTextsAndDecidesWhetherPlaybackMayEdit)
{
    const QString lockedTip =
        u"The document is currently locked for editing during playback. The text above can be "
        "used for jumping around the recording, but cannot be edited. Click the lock to unlock "
        "the document and allow editing."_s;
    const QString unlockedTip =
        u"The document is currently unlocked for editing during playback. If you lock it by "
        "clicking the lock, the text above can be used for jumping around the recording, but "
        "cannot be edited."_s;
    struct Case
    {
        int32_t from;
        int32_t set;
        bool playing;
        int32_t mode;
        const char *image;
        QString caption;
        QString toolTip;
        bool editable;
    };
    const QList<Case> cases = {
        {2, 1, true, 1, "lock-closed", u"Unlock to modify text"_s, lockedTip, false},
        {2, 1, false, 1, "lock-closed", u"Unlock to modify text"_s, lockedTip, true},
        {1, 2, true, 2, "lock-open", u"Lock text to navigate"_s, unlockedTip, true},
        {1, 7, true, 1, "lock-closed", u"Unlock to modify text"_s, lockedTip, false},
        {2, 0, true, 2, "lock-open", u"Lock text to navigate"_s, unlockedTip, true},
    };
    open(u"abc"_s);
    const DocumentWindowOutlets &o = document->windowController()->outlets();
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.from << " set " << c.set);
        document->playing = c.playing;
        document->setPlaybackMode(c.from);
        document->setPlaybackMode(c.set);
        EXPECT_EQ(document->playbackMode, c.mode);
        EXPECT_EQ(o.editLockButton->property("imageName").toString(), QLatin1String(c.image));
        EXPECT_EQ(o.editLockText->text(), c.caption);
        EXPECT_EQ(o.editLockButton->toolTip(), c.toolTip);
        EXPECT_EQ(o.editLockText->toolTip(), c.toolTip);
        EXPECT_EQ(document->editable(), c.editable);
    }
    document->playing = false;

    // A click turns the lock over, either way; a mode the lock does not know stays.
    for (const auto &[before, after] : {std::pair{1, 2}, {2, 1}, {9, 9}}) {
        document->playbackMode = before;
        document->editLockClicked();
        EXPECT_EQ(document->playbackMode, after) << before;
    }
}

TEST_F(EditingTest, PlaybackShowsTheLockStripAndARefusedStartLeavesEverythingAsItWas)
{
    struct Case
    {
        const char *name;
        bool withSession;
        int32_t mode;
        bool starts;
        bool editableWhilePlaying;
    };
    const Case cases[] = {
        {"locked", true, 1, true, false},
        {"unlocked", true, 2, true, true},
        {"no session to play", false, 1, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(u"ab cd"_s);
        if (c.withSession) {
            // The playhead after "d": "c" was typed in the word being typed.
            recording().session(0)->jumpToOffset(5.5);
        } else {
            document = std::make_unique<MyDocument>();
            document->addWindowController(
                std::make_unique<lq::test::FakeDocumentWindow>(document->textStorage()));
        }
        document->playbackMode = c.mode;
        QWidget *strip = document->windowController()->outlets().editLockView;

        EXPECT_EQ(document->startPlaying(), c.starts);

        EXPECT_EQ(document->playing.load(), c.starts);
        EXPECT_EQ(strip->isVisibleTo(strip->parentWidget()), c.starts);
        EXPECT_EQ(document->editable(), c.editableWhilePlaying);
        EXPECT_EQ(document->shareable(), !c.starts);
        const std::vector<qsizetype> &marked = document->highlightedChars();
        if (c.starts) {
            EXPECT_NE(std::find(marked.begin(), marked.end(), 3), marked.end());
            // Stopped by the model: the strip goes and the text is editable again.
            EXPECT_TRUE(document->pausePlaying());
            ASSERT_TRUE(
                lq::runEventLoopUntil([&] { return !document->playing; }, std::chrono::seconds(5)));
            EXPECT_FALSE(strip->isVisibleTo(strip->parentWidget()));
            EXPECT_TRUE(document->editable());
        } else {
            EXPECT_TRUE(marked.empty());
        }
    }
}

TEST_F(EditingTest, ARecordingStartsAndStopsOnlyWhenTheRecordingObjectAgrees)
{
    struct Case
    {
        const char *name;
        bool starts;
        bool stops;
    };
    const Case cases[] = {
        {"start refused", false, false},
        {"stop refused", true, false},
        {"start and stop", true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(u"abc"_s);
        document->updateChangeCount(lq::Document::ChangeKind::Cleared);
        lq::test::FakeRecSession *engine = engines.lastRecordingEngine;
        ASSERT_NE(engine, nullptr);
        engine->script.startRecording = c.starts;
        engine->script.stopRecording = c.stops;

        EXPECT_EQ(document->startRecording(true, false), c.starts);
        EXPECT_EQ(document->recording.load(), c.starts);
        EXPECT_EQ(document->shareable(), !c.starts);
        EXPECT_EQ(recording().sessionCount(), c.starts ? 2 : 1);
        if (!c.starts)
            continue;
        document->updateChangeCount(lq::Document::ChangeKind::Cleared);

        EXPECT_EQ(document->stopRecording(), c.stops);
        EXPECT_EQ(document->recording.load(), !c.stops);
        EXPECT_EQ(document->shareable(), c.stops);
        EXPECT_EQ(document->isDocumentEdited(), c.stops);
        if (!c.stops) {
            // Let it go so the note can close.
            engine->script.stopRecording = true;
            EXPECT_TRUE(document->stopRecording());
        }
    }
}

TEST_F(EditingTest, CropAsksUnlessToldNotToAndTellsAFailure)
{
    lq::test::ScriptedAlertPresenter alerts;
    const QString warning = u"Crop recording?"_s;
    const QString failure = u"Error cropping recording"_s;
    enum class Answer { None, Cancel, Ok, OkAndSuppress };
    struct Case
    {
        const char *name;
        bool recording, playing, mediaCutFails;
        bool alreadySuppressed;
        Answer answer;
        QStringList alertsShown;
        bool cropped;
        bool suppressedAfter;
    };
    const Case cases[] = {
        {"while recording", true, false, false, false, Answer::None, {}, false, false},
        {"while playing", false, true, false, false, Answer::None, {}, false, false},
        {"cancelled", false, false, false, false, Answer::Cancel, {warning}, false, false},
        {"ok", false, false, false, false, Answer::Ok, {warning}, true, false},
        {"ok, ask no more",
         false,
         false,
         false,
         false,
         Answer::OkAndSuppress,
         {warning},
         true,
         true},
        {"not asked", false, false, false, true, Answer::None, {}, true, true},
        {"media cannot be cut", false, false, true, true, Answer::None, {failure}, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(u"abc"_s);
        defaults->setBool(u"cropWithoutWarning"_s, c.alreadySuppressed);
        if (c.mediaCutFails) {
            QFile media(folder.filePath(u"recording-0.mov"_s));
            ASSERT_TRUE(media.open(QIODevice::WriteOnly));
            recording().session(0)->setHasAudio(true);
            recording().setRecordingFiles(QStringList{u"recording-0.mov"_s}, 0);
            recording().jumpToCharacter(2);
        }
        const double before = recording().length();
        document->recording = c.recording;
        document->playing = c.playing;
        if (c.answer != Answer::None)
            alerts.addResponse(c.answer == Answer::Cancel ? 1 : 0,
                               c.answer == Answer::OkAndSuppress);
        const int shownBefore = alerts.count();

        document->trimRecordingFromNow();

        QStringList shown;
        for (int i = shownBefore; i < alerts.count(); ++i)
            shown.append(alerts.shown()[i].request.messageText);
        EXPECT_EQ(shown, c.alertsShown);
        if (!shown.isEmpty() && shown[0] == warning) {
            EXPECT_TRUE(alerts.shown()[shownBefore].request.showsSuppressionButton);
        }
        // The playhead stood at the last character, typed 3 s into the minute.
        EXPECT_NEAR(recording().length(), c.cropped ? 3.0 : before, 0.01);
        EXPECT_EQ(defaults->boolForKey(u"cropWithoutWarning"_s), c.suppressedAfter);
        document->recording = false;
        document->playing = false;
    }
}

TEST_F(EditingTest, FastMotionAndPauseDoNothingWhileNothingPlays)
{
    open(u"abc"_s);
    const double before = sessionNow(recording());
    EXPECT_EQ(document->toggleFF(), 0);
    EXPECT_EQ(document->toggleRW(), 0);
    EXPECT_FALSE(document->pausePlaying());
    EXPECT_FALSE(recording().fastforwarding());
    EXPECT_FALSE(recording().rewinding());
    EXPECT_EQ(sessionNow(recording()), before);
}

TEST_F(EditingTest, TheSidebarStopsTheTextAt100AndCollapsesAndExpandsToItsWidth)
{
    open(u"abc"_s);
    const DocumentWindowOutlets &o = document->windowController()->outlets();
    QSplitter *split = o.mainSplitView;
    split->window()->resize(700, 400);
    split->setSizes({450, 240});
    QCoreApplication::processEvents();
    const int width = o.mediaSideBar->width();
    ASSERT_GT(width, 100);
    const auto image = [&] {
        return o.collapseButton->property("imageName").toString().toStdString();
    };
    EXPECT_EQ(image(), "sidebar-close");

    // Dragged far to the left, the divider stops with 100 points of text.
    QSplitterHandle *divider = split->handle(1);
    const QPoint grip = divider->rect().center();
    QTest::mousePress(divider, Qt::LeftButton, {}, grip);
    QTest::mouseMove(divider, grip - QPoint(split->width(), 0));
    QTest::mouseRelease(divider, Qt::LeftButton, {}, grip - QPoint(split->width(), 0));
    EXPECT_EQ(o.docView->width(), MediaSidebar::kMinimumTextWidth);
    split->setSizes({450, width});
    QCoreApplication::processEvents();

    struct Step
    {
        const char *name;
        std::function<void()> act;
        bool collapsed;
    };
    const Step steps[] = {
        {"double click", [&] { QTest::mouseDClick(split->handle(1), Qt::LeftButton); }, true},
        {"double click again", [&] { QTest::mouseDClick(split->handle(1), Qt::LeftButton); },
         false},
        {"button", [&] { document->collapseButtonPressed(); }, true},
        {"button again", [&] { document->collapseButtonPressed(); }, false},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        QCoreApplication::processEvents();
        EXPECT_EQ(o.mediaSideBar->width() == 0 || split->sizes().at(1) == 0, step.collapsed);
        if (!step.collapsed) {
            EXPECT_EQ(split->sizes().at(1), width);
        }
        EXPECT_EQ(image(), step.collapsed ? "sidebar-expand" : "sidebar-close");
    }
}

class StoredLockTest : public lq::test::PackageTest
{
};

// A stored mode other than the two the lock knows reads as locked, so a click can change it.
TEST_F(StoredLockTest, AStoredLockModeReadsAsLockedUnlessItIsUnlocked)
{
    for (const auto &[stored, read] : {std::pair{1, 1}, {2, 2}, {7, 1}, {0, 1}, {-2, 1}}) {
        auto document = newDocument();
        document->playbackMode = stored;
        const QString package = at(u"lock-%1.lumaquill"_s.arg(stored + 10));
        ASSERT_TRUE(document->saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
        auto opened = newDocument();
        ASSERT_TRUE(opened->openUrl(package, nullptr));
        EXPECT_EQ(opened->playbackMode, read) << stored;
    }
}

} // namespace
