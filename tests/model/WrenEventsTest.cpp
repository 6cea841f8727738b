#include "model/WrenEvents.h"

#include "WrenEventsTestSupport.h"
#include "platform/foundation/UndoManager.h"
#include "support/LogCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

namespace {

using testing::ElementsAre;

WrenTimeStampPtr key(uint32_t index, int32_t session, double offset)
{
    return WrenTimeStamp::initWithKey(index, session, offset);
}

WrenTimeStampPtr slide(uint32_t number, int32_t session, double offset)
{
    return WrenTimeStamp::initWithSlide(number, session, offset);
}

class WrenEventsTest : public testing::Test
{
protected:
    WrenEventsTest()
    {
        undo.setGroupsByEvent(false);
        store.setUm(&undo);
    }

    // Runs change as one undo step.
    template <class Change>
    void step(Change change)
    {
        undo.beginUndoGrouping();
        change();
        undo.endUndoGrouping();
    }

    // Types count characters at the end of the text, one stamp each, one undo step each.
    void type(int count, int32_t session = 0)
    {
        for (int i = 0; i < count; ++i) {
            const auto index = static_cast<uint32_t>(store.keyEvents().size());
            step([&] { store.addEvent(key(index, session, 1.0 + index), false); });
        }
    }

    std::vector<uint32_t> keyIndexes() const
    {
        std::vector<uint32_t> indexes;
        for (const WrenTimeStampPtr &s : store.keyEvents())
            indexes.push_back(s->index());
        return indexes;
    }

    lq::UndoManager undo;
    WrenEvents store;
};

TEST_F(WrenEventsTest, KeyStampBeyondTheListFillsTheGapWithEmptyStamps)
{
    type(3);
    const WrenTimeStampPtr seventh = key(7, 0, 20.0);
    step([&] { store.insertEvent(seventh, false); });
    ASSERT_EQ(store.keyEvents().size(), 8u);
    EXPECT_THAT(keyIndexes(), ElementsAre(0, 1, 2, 3, 4, 5, 6, 7));
    for (size_t i = 3; i < 7; ++i) {
        EXPECT_TRUE(store.keyEvents()[i]->isEmpty()) << i;
        EXPECT_EQ(store.keyEvents()[i]->type(), WrenTimeStampTypeKey);
    }
    EXPECT_EQ(store.keyEvents()[7], seventh);
    EXPECT_EQ(store.count(), 4u); // empty stamps stay out of the chronological list
}

TEST_F(WrenEventsTest, MiddleInsertionRenumbersAndUndoRedoRestoreBothLists)
{
    type(5);
    const StoreState typed = stateOf(store);
    const WrenTimeStampPtr middle = key(2, 0, 10.0);

    step([&] { store.insertEvent(middle, false); });
    const StoreState inserted = stateOf(store);
    EXPECT_THAT(keyIndexes(), ElementsAre(0, 1, 2, 3, 4, 5));
    EXPECT_EQ(store.keyEvents()[2], middle);
    EXPECT_EQ(store.getEvents().back(), middle); // offset 10 is the latest

    step([&] { store.removeEvent(middle); });
    EXPECT_EQ(stateOf(store), typed);

    undo.undo();
    EXPECT_EQ(stateOf(store), inserted);
    undo.undo();
    EXPECT_EQ(stateOf(store), typed);
    undo.redo();
    EXPECT_EQ(stateOf(store), inserted);
    undo.redo();
    EXPECT_EQ(stateOf(store), typed);
}

TEST_F(WrenEventsTest, ReplacingACharacterSwapsItsStampAndUndoBringsTheOldOneBack)
{
    type(3);
    const StoreState typed = stateOf(store);
    const WrenTimeStampPtr old = store.keyEvents()[1];
    const WrenTimeStampPtr replacement = key(1, 0, 9.0);

    step([&] { store.insertEvent(replacement, true); });
    EXPECT_EQ(store.keyEvents()[1], replacement);
    EXPECT_FALSE(store.indexOfEvent(old));
    EXPECT_EQ(store.indexOfEvent(replacement), std::optional<size_t>(2));
    const StoreState replaced = stateOf(store);

    undo.undo();
    EXPECT_EQ(stateOf(store), typed);
    undo.redo();
    EXPECT_EQ(stateOf(store), replaced);
}

// A character past the end of the per-character list (typed while nothing was recorded, not
// rebuilt from the archive) has no entry to replace: the stamp gets a new entry.
TEST_F(WrenEventsTest, ReplacingPastTheEndOfTheListAppends)
{
    type(2);
    const StoreState typed = stateOf(store);
    for (const bool viaAdd : {false, true}) {
        SCOPED_TRACE(viaAdd);
        const WrenTimeStampPtr over = key(2, 0, 5.0);
        step([&] {
            if (viaAdd)
                step([&] { store.addEvent(over, true); });
            else
                step([&] { store.insertEvent(over, true); });
        });
        EXPECT_EQ(store.keyEvents().size(), 3u);
        EXPECT_EQ(store.keyEvents()[2], over);
        EXPECT_EQ(store.getEvents().back(), over);
        undo.undo();
        EXPECT_EQ(stateOf(store), typed);
    }
}

TEST_F(WrenEventsTest, StampsAtTheSameMomentKeepTheirInsertionOrder)
{
    const WrenTimeStampPtr first = slide(1, 0, 4.0);
    const WrenTimeStampPtr second = key(0, 0, 4.0);
    const WrenTimeStampPtr third = slide(2, 0, 4.0);
    step([&] { store.insertEvent(key(1, 0, 5.0), false); });
    step([&] { store.insertEvent(first, false); });
    step([&] { store.insertEvent(second, false); });
    step([&] { store.insertEvent(third, false); });
    step([&] { store.insertEvent(key(2, 0, 1.0), false); });
    EXPECT_EQ(store.getEvent(1), first);
    EXPECT_EQ(store.getEvent(2), second);
    EXPECT_EQ(store.getEvent(3), third);
    EXPECT_EQ(store.lastEventBeforeEvent(third, WrenTimeStampTypeSlide), first);
    EXPECT_EQ(store.lastEventBeforeEvent(third, -1), second);
    EXPECT_EQ(store.lastEventBeforeOffset(4.0, 0, WrenTimeStampTypeKey), second);
}

TEST_F(WrenEventsTest, StampsWithEqualFieldsAreDistinct)
{
    const WrenTimeStampPtr a = slide(3, 0, 2.0);
    const WrenTimeStampPtr b = slide(3, 0, 2.0);
    step([&] { store.addEvent(a, false); });
    step([&] { store.addEvent(b, false); });
    EXPECT_EQ(store.count(), 2u);
    EXPECT_EQ(store.indexOfEvent(b), std::optional<size_t>(1));
    step([&] { store.removeEvent(a); });
    ASSERT_EQ(store.count(), 1u);
    EXPECT_EQ(store.getEvent(0), b);
    EXPECT_FALSE(store.indexOfEvent(a));
    EXPECT_FALSE(store.indexOfEvent(nullptr));
}

TEST_F(WrenEventsTest, RemovingAnEmptyCharacterLeavesTheChronologicalListAlone)
{
    type(2);
    step([&] { store.addNullChar(1, false); });
    const StoreState withEmpty = stateOf(store);
    EXPECT_TRUE(store.keyEvents()[1]->isEmpty());
    EXPECT_EQ(store.count(), 2u);

    step([&] { EXPECT_TRUE(store.removeEventForCharacter(1)); });
    EXPECT_EQ(store.count(), 2u);
    EXPECT_THAT(keyIndexes(), ElementsAre(0, 1));

    undo.undo();
    EXPECT_EQ(stateOf(store), withEmpty);
}

TEST_F(WrenEventsTest, RemovingACharacterOutsideTheListAnswersNo)
{
    type(3);
    const StoreState typed = stateOf(store);
    EXPECT_FALSE(store.removeEventForCharacter(3));
    EXPECT_FALSE(store.removeEventForCharacter(100));
    EXPECT_EQ(stateOf(store), typed);
    EXPECT_FALSE(undo.canRedo());
}

TEST_F(WrenEventsTest, RemovingAStampedCharacterAndUndoing)
{
    type(4);
    const StoreState typed = stateOf(store);
    const WrenTimeStampPtr removed = store.keyEvents()[1];
    step([&] { EXPECT_TRUE(store.removeEventForCharacter(1)); });
    EXPECT_FALSE(store.indexOfEvent(removed));
    EXPECT_THAT(keyIndexes(), ElementsAre(0, 1, 2));
    undo.undo();
    EXPECT_EQ(stateOf(store), typed);
}

TEST_F(WrenEventsTest, NullCharacters)
{
    type(3);
    const StoreState typed = stateOf(store);
    const WrenTimeStampPtr old = store.keyEvents()[1];

    step([&] { EXPECT_TRUE(store.addNullChar(1, true)); }); // replaces a stamped character
    EXPECT_TRUE(store.keyEvents()[1]->isEmpty());
    EXPECT_FALSE(store.indexOfEvent(old));
    EXPECT_EQ(store.keyEvents().size(), 3u);
    undo.undo();
    EXPECT_EQ(stateOf(store), typed);

    step([&] { EXPECT_TRUE(store.addNullChar(3, true)); }); // at the end: appended
    EXPECT_EQ(store.keyEvents().size(), 4u);
    undo.undo();
    EXPECT_EQ(stateOf(store), typed);

    step([&] { EXPECT_TRUE(store.addNullChar(0, false)); }); // inserted
    EXPECT_THAT(keyIndexes(), ElementsAre(0, 1, 2, 3));
    EXPECT_TRUE(store.keyEvents()[0]->isEmpty());
    undo.undo();
    EXPECT_EQ(stateOf(store), typed);

    step([&] { EXPECT_TRUE(store.addNullChar(6, false)); }); // beyond: filled
    EXPECT_EQ(store.keyEvents().size(), 7u);
    EXPECT_EQ(store.count(), 3u);
}

TEST_F(WrenEventsTest, EmptyStampsNeverEnterTheChronologicalList)
{
    step([&] { store.addEvent(WrenTimeStamp::emptyKey(0), false); });
    step([&] { store.insertEvent(WrenTimeStamp::emptyKey(1), false); });
    EXPECT_EQ(store.count(), 0u);
    EXPECT_EQ(store.keyEvents().size(), 2u);
}

TEST_F(WrenEventsTest, EventForCharacter)
{
    EXPECT_FALSE(store.getEventForCharacter(0));
    EXPECT_FALSE(store.lastEventBeforeOffset(1.0, 0));
    type(2);
    step([&] { store.addNullChar(2, false); });
    const WrenTimeStampPtr first = store.keyEvents()[0];
    const WrenTimeStampPtr second = store.keyEvents()[1];
    const WrenTimeStampPtr empty = store.keyEvents()[2];
    const struct
    {
        uint32_t index;
        bool includeEmpties;
        WrenTimeStampPtr expected;
    } cases[] = {
        {0, false, first},   {1, false, second}, {2, false, nullptr}, {2, true, empty},
        {3, false, nullptr}, {3, true, empty},   {4, true, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << " " << c.includeEmpties);
        EXPECT_EQ(store.getEventForCharacter(c.index, c.includeEmpties), c.expected);
    }
    step([&] { store.removeEventForCharacter(2); });
    EXPECT_EQ(store.getEventForCharacter(2), second); // a caret after the last character
}

TEST_F(WrenEventsTest, LastStampBeforeAMoment)
{
    const WrenTimeStampPtr k0 = key(0, 0, 1.0);
    const WrenTimeStampPtr s1 = slide(1, 0, 2.0);
    const WrenTimeStampPtr k1 = key(1, 0, 3.0);
    const WrenTimeStampPtr s2 = slide(2, 0, 5.0);
    const WrenTimeStampPtr s3 = slide(3, 1, 0.0);
    for (const WrenTimeStampPtr &s : {k0, s1, k1, s2, s3})
        step([&] { store.addEvent(s, false); });
    const struct
    {
        double offset;
        int32_t session;
        int32_t type;
        WrenTimeStampPtr expected;
    } cases[] = {
        {0.5, 0, -1, nullptr},
        {1.0, 0, -1, k0},
        {2.5, 0, -1, s1},
        {4.9, 0, WrenTimeStampTypeKey, k1},
        {4.9, 0, WrenTimeStampTypeSlide, s1},
        {4.995, 0, WrenTimeStampTypeSlide, s2}, // 0.005 s ahead counts as shown
        {4.985, 0, WrenTimeStampTypeSlide, s1},
        {4.995, 0, -1, k1},                    // only for slides
        {99.0, 0, WrenTimeStampTypeSlide, s2}, // the next session's change is not shown yet
        {-0.005, 1, WrenTimeStampTypeSlide, s3},
        {0.0, 1, WrenTimeStampTypeKey, k1},
        {0.0, 2, 3, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.session << "/" << c.offset << " type " << c.type);
        EXPECT_EQ(store.lastEventBeforeOffset(c.offset, c.session, c.type), c.expected);
    }
    EXPECT_EQ(store.lastEventBeforeEvent(s3, WrenTimeStampTypeKey), k1);
    EXPECT_EQ(store.lastEventBeforeEvent(k0, -1), nullptr);
    EXPECT_EQ(store.lastEventBeforeEvent(slide(1, 0, 2.0), -1), nullptr); // not in the store
    EXPECT_EQ(store.lastKeyEvent(), k1);
    EXPECT_EQ(store.lastSlideEvent(), s3);
}

TEST_F(WrenEventsTest, EventForSlidePicksTheLongestShowing)
{
    const struct
    {
        std::vector<std::pair<uint32_t, double>> changes; // slide number, offset (session 0)
        std::vector<float> lengths;
        size_t expected; // position in changes, or none
    } cases[] = {
        {{{1, 0.0}, {2, 10.0}, {1, 20.0}, {3, 50.0}}, {100.0f}, 2}, // 10 s, then 30 s
        {{{1, 0.0}, {2, 10.0}, {1, 20.0}, {3, 30.0}}, {100.0f}, 0}, // a tie keeps the first
        {{{1, 0.0}, {2, 10.0}, {1, 20.0}}, {60.0f}, 2},             // the last runs to the end
        {{{1, 0.0}, {2, 10.0}, {1, 20.0}}, {25.0f}, 0},
        {{{1, 0.0}, {2, 10.0}, {1, 20.0}}, {25.0f, 20.0f}, 2}, // ...of later sessions too
        {{{2, 0.0}}, {}, SIZE_MAX},
    };
    for (const auto &c : cases) {
        WrenEvents slides;
        std::vector<WrenTimeStampPtr> stamps;
        for (const auto &[number, offset] : c.changes) {
            stamps.push_back(slide(number, 0, offset));
            slides.addEvent(stamps.back(), false);
        }
        for (size_t session = 0; session < c.lengths.size(); ++session)
            slides.addSessionLength(c.lengths[session], static_cast<int32_t>(session));
        EXPECT_EQ(slides.getEventForSlide(1),
                  c.expected == SIZE_MAX ? nullptr : stamps[c.expected]);
    }
}

TEST_F(WrenEventsTest, EventForSlideCountsTheSessionsBetweenChanges)
{
    // early lasts 60 - 50 + (session 1) + 1; late lasts 40 + (sessions 3...) - 30.
    const WrenTimeStampPtr early = slide(1, 0, 50.0);
    const WrenTimeStampPtr late = slide(1, 2, 30.0);
    step([&] { store.addEvent(early, false); });
    step([&] { store.addEvent(slide(2, 2, 1.0), false); });
    step([&] { store.addEvent(late, false); });
    store.addSessionLength(60.0f, 0);
    store.addSessionLength(40.0f, 2); // session 1 has no length: counts 0
    EXPECT_EQ(store.getEventForSlide(1), early);
    store.addSessionLength(41.0f, 1);
    EXPECT_EQ(store.getEventForSlide(1), early);
    store.addSessionLength(100.0f, 3);
    EXPECT_EQ(store.getEventForSlide(1), late);
}

TEST_F(WrenEventsTest, MergedSessionsMakeANewSeparateStore)
{
    const WrenTimeStampPtr k = key(0, 0, 1.0);
    const WrenTimeStampPtr later = key(1, 1, 2.0);
    const WrenTimeStampPtr s = slide(4, 2, 3.0);
    step([&] { store.addEvent(k, false); });
    step([&] { store.addEvent(later, false); });
    step([&] { store.addEvent(s, false); });
    store.addSessionLength(60.0f, 0);
    store.addSessionLength(30.0f, 1);
    store.addSessionLength(10.0f, 2);
    const StoreState before = stateOf(store);

    const std::unique_ptr<WrenEvents> merged = store.eventsWithMergedSessions();
    EXPECT_EQ(stateOf(store), before);
    ASSERT_EQ(merged->count(), 3u);
    const std::pair<int32_t, double> expected[] = {{0, 1.0}, {0, 62.0}, {0, 93.0}};
    for (size_t i = 0; i < 3; ++i) {
        const WrenTimeStampPtr m = merged->getEvent(i);
        EXPECT_NE(m, store.getEvent(i));
        EXPECT_EQ(m->type(), store.getEvent(i)->type());
        EXPECT_EQ(m->index(), store.getEvent(i)->index());
        EXPECT_EQ(m->session(), expected[i].first);
        EXPECT_EQ(m->offset(), expected[i].second);
    }
    EXPECT_EQ(merged->sessionLengths(), (WrenEvents::SessionLengths{{0, 100.0f}}));
    EXPECT_EQ(merged->keyEvents().size(), 2u);
    EXPECT_EQ(merged->keyEvents()[1], merged->getEvent(1));
    EXPECT_EQ(merged->um(), nullptr);
}

TEST_F(WrenEventsTest, MergingCountsOnlyAsManySessionsAsHaveLengths)
{
    step([&] { store.addEvent(key(0, 3, 1.0), false); });
    store.addSessionLength(60.0f, 0);
    store.addSessionLength(20.0f, 2); // two lengths: sessions 0 and 1 are summed (1 counts 0)
    const std::unique_ptr<WrenEvents> merged = store.eventsWithMergedSessions();
    EXPECT_EQ(merged->getEvent(0)->offset(), 61.0);
    EXPECT_EQ(merged->sessionLengths().value(0), 60.0f);
}

TEST_F(WrenEventsTest, InsertingASessionMovesStampsAndLengthsInOneUndoStep)
{
    const WrenTimeStampPtr a = key(0, 0, 1.0);
    const WrenTimeStampPtr b = slide(1, 1, 2.0);
    const WrenTimeStampPtr c = key(1, 2, 3.0);
    for (const WrenTimeStampPtr &s : {a, b, c})
        step([&] { store.addEvent(s, false); });
    store.addSessionLength(10.0f, 0);
    store.addSessionLength(20.0f, 1);
    store.addSessionLength(30.0f, 2);
    undo.removeAllActions();
    const StoreState before = stateOf(store);
    const WrenEvents::SessionLengths lengthsBefore = store.sessionLengths();

    for (const int32_t at : {0, 1}) {
        SCOPED_TRACE(at);
        step([&] { store.insertSession(at, 5.0); });
        const StoreState inserted = stateOf(store);
        const WrenEvents::SessionLengths lengthsInserted = store.sessionLengths();
        if (at == 0) {
            EXPECT_EQ(lengthsInserted,
                      (WrenEvents::SessionLengths{{0, 5.0f}, {1, 10.0f}, {2, 20.0f}, {3, 30.0f}}));
            EXPECT_EQ(a->session(), 1);
        } else {
            EXPECT_EQ(lengthsInserted,
                      (WrenEvents::SessionLengths{{0, 10.0f}, {1, 5.0f}, {2, 20.0f}, {3, 30.0f}}));
            EXPECT_EQ(a->session(), 0);
        }
        EXPECT_EQ(b->session(), 2);
        EXPECT_EQ(c->session(), 3);
        EXPECT_EQ(store.lastEventBeforeOffset(2.5, 2), b);

        undo.undo();
        EXPECT_EQ(stateOf(store), before);
        EXPECT_EQ(store.sessionLengths(), lengthsBefore);
        EXPECT_EQ(store.lastEventBeforeOffset(2.5, 1), b);
        undo.redo();
        EXPECT_EQ(stateOf(store), inserted);
        EXPECT_EQ(store.sessionLengths(), lengthsInserted);
        undo.undo();
    }
}

TEST_F(WrenEventsTest, SessionLengths)
{
    store.addSessionLength(12.5f, 3);
    EXPECT_TRUE(store.hasSessionLengths());
    EXPECT_FALSE(undo.canUndo()); // not undoable

    step([&] { store.resetSessionLengthTo(99.0); });
    EXPECT_EQ(store.sessionLengths(), (WrenEvents::SessionLengths{{0, 99.0f}}));
    undo.undo();
    EXPECT_EQ(store.sessionLengths(), (WrenEvents::SessionLengths{{3, 12.5f}}));
    undo.redo();
    EXPECT_EQ(store.sessionLengths(), (WrenEvents::SessionLengths{{0, 99.0f}}));

    store.setHasSessionLengths(false);
    EXPECT_FALSE(store.hasSessionLengths());
}

TEST_F(WrenEventsTest, ResetToTheFirstSessionAndUndoRedo)
{
    const WrenTimeStampPtr a = key(0, 0, 1.0);
    const WrenTimeStampPtr b = slide(1, 1, 2.0);
    const WrenTimeStampPtr c = key(1, 2, 3.0);
    const WrenTimeStampPtr d = key(2, 5, 4.0); // beyond the lengths given: they count 0
    for (const WrenTimeStampPtr &s : {a, b, c, d})
        step([&] { store.addEvent(s, false); });
    step([&] { store.addNullChar(3, false); });
    const StoreState before = stateOf(store);

    step([&] { store.resetEventsToFirstSessionWithSessionLengths({10.0, 20.0, 30.0}); });
    const StoreState reset = stateOf(store);
    const std::pair<int32_t, double> expected[] = {{0, 1.0}, {0, 12.0}, {0, 33.0}, {0, 64.0}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(store.getEvent(i)->session(), expected[i].first) << i;
        EXPECT_EQ(store.getEvent(i)->offset(), expected[i].second) << i;
    }
    EXPECT_EQ(store.lastEventBeforeOffset(40.0, 0), c);

    undo.undo();
    EXPECT_EQ(stateOf(store), before);
    EXPECT_EQ(store.keyEvents()[1], store.getEvent(2)); // shared again
    EXPECT_EQ(store.lastEventBeforeOffset(40.0, 0), a);
    undo.redo();
    EXPECT_EQ(stateOf(store), reset);
    undo.undo();
    EXPECT_EQ(stateOf(store), before);
}

TEST_F(WrenEventsTest, RestoringWithoutBothListsDoesNothing)
{
    type(2);
    const StoreState typed = stateOf(store);
    WrenEvents::SavedEventArrays partial;
    partial.oldKeyEvents = WrenEvents::StampList{};
    store.restoreEventArrays(partial);
    EXPECT_EQ(stateOf(store), typed);
}

TEST_F(WrenEventsTest, ForgettingAllSlideChanges)
{
    type(2);
    step([&] {
        store.addEvent(slide(1, 0, 2.5), false);
        store.addEvent(slide(2, 0, 3.5), false);
    });
    const StoreState withSlides = stateOf(store);

    step([&] { store.removeAllSlidesEvents(); });
    EXPECT_EQ(store.count(), 2u);
    EXPECT_FALSE(store.lastSlideEvent());
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Forget All Slide Changes"));
    undo.undo();
    EXPECT_EQ(stateOf(store), withSlides);

    WrenEvents noSlides; // nothing to forget: the action keeps its name
    noSlides.setUm(&undo);
    step([&] {
        store.addEvent(key(2, 0, 4.0), false);
        undo.setActionName(QStringLiteral("Typing"));
        noSlides.removeAllSlidesEvents();
    });
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Typing"));
}

TEST_F(WrenEventsTest, ReleasingTheStoreDropsItsUndoActions)
{
    {
        WrenEvents temporary;
        temporary.setUm(&undo);
        step([&] { temporary.addEvent(key(0, 0, 1.0), false); });
        EXPECT_TRUE(undo.canUndo());
    }
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(WrenEventsTest, WithoutUndoManagerNothingIsRegistered)
{
    store.setUm(nullptr);
    step([&] { store.addEvent(key(0, 0, 1.0), false); });
    store.removeAllSlidesEvents();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(store.count(), 1u);
}

TEST_F(WrenEventsTest, PrintingWritesOneLinePerStamp)
{
    step([&] { store.addEvent(key(1, 2, 1.5), false); });
    step([&] { store.addEvent(slide(7, 2, 3.0), false); });
    const QString text = QStringLiteral("ab");
    lq::test::LogCapture capture;
    store.printEventsWithString(&text);
    store.printEvents();
    EXPECT_EQ(
        capture.lines(),
        QStringList({QStringLiteral("There are 2 events and 2 characters\n"),
                     QStringLiteral("Session = 2, offset = 1.500000, type = Key, index = 1, "
                                    "char = b\n"),
                     QStringLiteral("Session = 2, offset = 3.000000, type = Slide, index = 7\n"),
                     QStringLiteral("There are 2 events\n"),
                     QStringLiteral("Session = 2, offset = 1.500000, type = Key, index = 1\n"),
                     QStringLiteral("Session = 2, offset = 3.000000, type = Slide, index = 7\n")}));
}

} // namespace
