#include "model/WrenEvents.h"
#include "model/WrenRecordingTestSupport.h"
#include "support/FakePlaySession.h"
#include "support/LogCapture.h"

#include <QCoreApplication>

#include <set>

namespace {

using lq::test::FakePlaySession;

struct Moment
{
    int32_t session;
    double offset;
    bool operator==(const Moment &) const = default;
};

class StampingTest : public lq::test::RecordingTestBase
{
protected:
    StampingTest() { recording.setOwner(&owner); }

    // Records a text change as the document would, in one undo step.
    bool edit(uint32_t location, uint32_t length, const QString &replacement)
    {
        bool answered = false;
        owner.inUndoGroup(
            [&] { answered = recording.recordKeyEventsForRange(location, length, replacement); });
        if (answered)
            text.replace(location, length, replacement);
        return answered;
    }

    // Types each character on its own, a tenth of a second apart.
    void type(uint32_t location, const QString &characters)
    {
        for (qsizetype i = 0; i < characters.size(); ++i) {
            clock.advance(0.1);
            ASSERT_TRUE(edit(location + uint32_t(i), 0, characters.mid(i, 1)));
        }
    }

    // One entry per character, each at its position, each key stamp also in the time list.
    void expectConsistent()
    {
        const WrenEvents &events = recording.events();
        ASSERT_EQ(events.keyEvents().size(), size_t(text.size()));
        std::set<const WrenTimeStamp *> chronological;
        for (const WrenTimeStampPtr &stamp : events.getEvents())
            chronological.insert(stamp.get());
        for (size_t i = 0; i < events.keyEvents().size(); ++i) {
            const WrenTimeStampPtr &stamp = events.keyEvents()[i];
            ASSERT_EQ(stamp->index(), i);
            if (!stamp->isEmpty()) {
                ASSERT_EQ(chronological.count(stamp.get()), 1u) << "character " << i;
            }
        }
    }

    std::vector<Moment> moments() const
    {
        std::vector<Moment> result;
        for (const WrenTimeStampPtr &stamp : recording.events().keyEvents())
            result.push_back({stamp->session(), stamp->offset()});
        return result;
    }

    // An idle note whose characters carry the moments given.
    void stampedText(const std::vector<Moment> &stamps)
    {
        owner.undo.disableUndoRegistration();
        for (const Moment &m : stamps) {
            const auto index = uint32_t(text.size());
            recording.events().insertEvent(WrenTimeStamp::initWithKey(index, m.session, m.offset),
                                           false);
            text.append(QLatin1Char('x'));
        }
        owner.undo.enableUndoRegistration();
    }

    WrenRecording recording;
    QString text;
};

TEST_F(StampingTest, TypingWhileRecordingStampsEachCharacterNow)
{
    startRecording(recording);
    type(0, QStringLiteral("abc"));
    ASSERT_TRUE(edit(3, 0, QStringLiteral("de")));
    const auto &keys = recording.events().keyEvents();
    ASSERT_EQ(keys.size(), 5u);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i]->index(), i);
        EXPECT_EQ(keys[i]->session(), 0);
        if (i > 0) {
            EXPECT_LE(keys[i - 1]->offset(), keys[i]->offset());
        }
    }
    EXPECT_DOUBLE_EQ(keys[0]->offset(), 0.1);
    EXPECT_DOUBLE_EQ(keys[4]->offset(), 0.3);
}

// Until the engine writes its first sample the session stands at its start, its clock too: what
// is typed meanwhile is stamped there, never after what is typed once the clock runs.
TEST_F(StampingTest, TypingBeforeTheEngineWritesIsStampedAtTheStart)
{
    recording.setTempDir(tempDir.path());
    engines.lastRecordingEngine->script.reportsStartAtOnce = false;
    ASSERT_TRUE(recording.startSession(true, false));
    type(0, QStringLiteral("ab"));
    clock.advance(1.0);
    ASSERT_TRUE(timers.fireNext());
    EXPECT_EQ(recording.session(0)->clockTime(), lq::clockEpoch());
    engines.lastRecordingEngine->reportWritingStarted();
    type(2, QStringLiteral("cd"));
    EXPECT_EQ(moments(), (std::vector<Moment>{{0, 0.0}, {0, 0.0}, {0, 0.1}, {0, 0.2}}));
}

TEST_F(StampingTest, IdleTypingTakesTheMomentBeforeIt)
{
    stampedText({{2, 12.5}});
    ASSERT_TRUE(edit(1, 0, QStringLiteral("yz")));
    EXPECT_EQ(moments(), (std::vector<Moment>{{2, 12.5}, {2, 12.5}, {2, 12.5}}));
    ASSERT_TRUE(edit(0, 0, QStringLiteral("w")));
    EXPECT_TRUE(recording.events().keyEvents()[0]->isEmpty());
    expectConsistent();
}

TEST_F(StampingTest, IdleReplacementKeepsTheFirstMomentAndUndoesAsOne)
{
    stampedText({{0, 1.0}, {0, 2.0}, {0, 3.0}, {0, 4.0}, {0, 5.0}});
    const std::vector<Moment> before = moments();
    ASSERT_TRUE(edit(1, 3, QStringLiteral("y")));
    EXPECT_EQ(moments(), (std::vector<Moment>{{0, 1.0}, {0, 2.0}, {0, 5.0}}));
    EXPECT_EQ(recording.events().count(), 3u);
    expectConsistent();
    owner.undo.undo();
    EXPECT_EQ(moments(), before);
    EXPECT_EQ(recording.events().count(), 5u);
}

TEST_F(StampingTest, DeletionRemovesEveryStampOfTheRange)
{
    stampedText({{0, 1.0}, {0, 2.0}, {0, 3.0}, {0, 4.0}});
    ASSERT_TRUE(edit(1, 2, QString()));
    EXPECT_EQ(moments(), (std::vector<Moment>{{0, 1.0}, {0, 4.0}}));
    expectConsistent();
    owner.undo.undo();
    text = QStringLiteral("xxxx");
    EXPECT_EQ(moments(), (std::vector<Moment>{{0, 1.0}, {0, 2.0}, {0, 3.0}, {0, 4.0}}));
    expectConsistent();
}

TEST_F(StampingTest, ReplacingInAnUnstampedTailWhileRecording)
{
    // A reopened note: five characters, only the first two stamped.
    stampedText({{0, 1.0}, {0, 2.0}});
    text = QStringLiteral("xxxxx");
    startRecording(recording);
    clock.advance(1.0);
    ASSERT_TRUE(recording.recordKeyEventsForRange(3, 1, QStringLiteral("y")));
    const auto &keys = recording.events().keyEvents();
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_TRUE(keys[2]->isEmpty());
    EXPECT_EQ(keys[3]->session(), 0);
    EXPECT_DOUBLE_EQ(keys[3]->offset(), 1.0);
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(keys[i]->index(), i);
    // Idle again: a replacement past the stamped end gets an empty stamp.
    recording.setRecording(false);
    recording.setCurrentSession(-1);
    ASSERT_TRUE(recording.recordKeyEventsForRange(5, 1, QStringLiteral("z")));
    EXPECT_TRUE(recording.events().keyEvents().back()->isEmpty());
    EXPECT_EQ(recording.events().keyEvents().back()->index(), 5u);
}

TEST_F(StampingTest, SessionStoppingMidEditStampsTheRestAsIdle)
{
    lq::test::LogCapture log;
    auto session = startRecording(recording);
    auto engine = std::make_shared<lq::test::FakeRecSession>();
    engine->script.nowInterval = 1.0; // the engine's time stands still
    session->setRecSession(engine);
    type(0, QStringLiteral("ab"));
    clock.advance(11.0);
    ASSERT_TRUE(edit(2, 0, QStringLiteral("cd")));
    const auto &keys = recording.events().keyEvents();
    ASSERT_EQ(keys.size(), 4u);
    for (size_t i : {2, 3}) {
        EXPECT_EQ(keys[i]->session(), keys[1]->session());
        EXPECT_EQ(keys[i]->offset(), keys[1]->offset());
    }
    expectConsistent();
    session->setRecSession(nullptr);
    QCoreApplication::processEvents();
}

TEST_F(StampingTest, PlayingWithoutACurrentSessionChangesNothing)
{
    stampedText({{0, 1.0}});
    recording.setPlaying(true);
    EXPECT_FALSE(edit(0, 1, QStringLiteral("ab")));
    EXPECT_FALSE(recording.recordSlideEventForSlide(2));
    EXPECT_EQ(moments(), (std::vector<Moment>{{0, 1.0}}));
    EXPECT_FALSE(owner.undo.canUndo());
    recording.setPlaying(false);
    EXPECT_FALSE(recording.recordSlideEventForSlide(2));
}

TEST_F(StampingTest, SlideStampsGoInTimeOrderEvenWhenTheClockRestarts)
{
    auto session = startRecording(recording);
    clock.advance(5.0);
    ASSERT_TRUE(recording.recordSlideEventForSlide(2));
    // The engine begins writing: the session's time starts again from 0.
    recording.didStartRecordingToOutputFile(QUrl(), 0.0);
    clock.advance(0.5);
    ASSERT_TRUE(recording.recordSlideEventForSlide(3));
    clock.advance(6.0);
    ASSERT_TRUE(recording.recordSlideEventForSlide(4));
    std::vector<uint32_t> slides;
    for (const WrenTimeStampPtr &stamp : recording.events().getEvents())
        slides.push_back(stamp->index());
    EXPECT_EQ(slides, (std::vector<uint32_t>{3, 2, 4}));
    EXPECT_EQ(recording.events().lastSlideEvent()->index(), 4u);
}

TEST_F(StampingTest, SlideWhilePlayingRearmsTheNextStampTimer)
{
    owner.inUndoGroup([&] { addSessionWithMedia(recording, 60.0, false); });
    stampedText({{0, 10.0}, {0, 20.0}});
    recording.jumpToPercentage(25.0f);
    // The idle jump highlights the character typed last before 15 s.
    EXPECT_EQ(owner.highlighted, QList<uint32_t>{0});
    owner.highlighted.clear();
    FakePlaySession *player = engines.lastPlaybackEngine;
    ASSERT_NE(player, nullptr);
    player->script.currentTime = 15.0;
    ASSERT_TRUE(recording.startPlayback());

    ASSERT_TRUE(recording.recordSlideEventForSlide(7));
    const auto &events = recording.events().getEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1]->type(), WrenTimeStampTypeSlide);
    EXPECT_EQ(recording.playbackTimers().armedInterval(), 5.0);
    fireUntil([&] { return !owner.highlighted.isEmpty(); });
    EXPECT_EQ(owner.highlighted, QList<uint32_t>{1});

    // A text change while playing re-arms from the current position too.
    player->script.currentTime = 12.0;
    ASSERT_TRUE(edit(2, 0, QStringLiteral("q")));
    EXPECT_EQ(recording.events().keyEvents()[2]->offset(), 12.0);
    EXPECT_EQ(recording.playbackTimers().armedInterval(), 3.0); // the slide at 15 s
    recording.stopPlayback();
    EXPECT_FALSE(recording.playbackTimers().armedInterval());
    EXPECT_FALSE(recording.playbackTimers().positionTimerRuns());
}

TEST_F(StampingTest, LastCharBeforeNow)
{
    auto session = startRecording(recording);
    EXPECT_FALSE(recording.lastCharBeforeNow());
    type(0, QStringLiteral("ab"));
    clock.advance(1.0);
    EXPECT_EQ(recording.lastCharBeforeNow(), 1u);
    recording.setCurrentSession(-1);
    EXPECT_FALSE(recording.lastCharBeforeNow());
}

// Types a paragraph while recording, replaces, deletes, then undoes and redoes every step,
// checking the store after each one.
TEST_F(StampingTest, UndoAndRedoWalkKeepsOneStampPerCharacter)
{
    startRecording(recording);
    std::vector<QString> texts{text};
    std::vector<std::vector<Moment>> states{moments()};
    const auto step = [&](auto &&change) {
        SCOPED_TRACE(testing::Message() << "step " << states.size());
        change();
        expectConsistent();
        texts.push_back(text);
        states.push_back(moments());
    };
    const QString paragraph =
        QStringLiteral("Notes taken while the lecture runs, every letter stamped.");
    const auto typeSteps = [&](const QString &characters) {
        for (const QChar c : characters)
            step([&] { type(uint32_t(text.size()), QString(c)); });
    };
    typeSteps(paragraph);
    step([&] {
        clock.advance(1.0);
        ASSERT_TRUE(edit(6, 5, QStringLiteral("written down")));
    });
    step([&] {
        clock.advance(1.0);
        ASSERT_TRUE(edit(20, 9, QStringLiteral("-")));
    });
    step([&] { ASSERT_TRUE(edit(0, 6, QString())); });
    typeSteps(QStringLiteral(" End"));
    recording.setRecording(false);
    recording.setCurrentSession(-1);
    step([&] { ASSERT_TRUE(edit(3, 2, QStringLiteral("XYZ"))); });

    for (size_t i = states.size() - 1; i > 0; --i) {
        owner.undo.undo();
        text = texts[i - 1];
        expectConsistent();
        ASSERT_EQ(moments(), states[i - 1]) << "after undoing step " << i;
    }
    EXPECT_FALSE(owner.undo.canUndo());
    for (size_t i = 1; i < states.size(); ++i) {
        owner.undo.redo();
        text = texts[i];
        expectConsistent();
        ASSERT_EQ(moments(), states[i]) << "after redoing step " << i;
    }
}

} // namespace
