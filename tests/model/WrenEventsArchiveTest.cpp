#include "WrenEventsTestSupport.h"
#include "model/ModelArchiveClasses.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/UndoManager.h"
#include "support/HostileArchives.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

using lq::test::eventsArchive;
using lq::test::handMadeObject;
using lq::test::timeStampObject;

class WrenEventsArchiveTest : public testing::Test
{
protected:
    void SetUp() override { registerModelArchiveClasses(); }

    static std::shared_ptr<WrenEvents> decode(const QByteArray &bytes, lq::Error *error = nullptr,
                                              const lq::ArchiveContext &context = {})
    {
        return lq::KeyedUnarchiver::unarchiveObject<WrenEvents>(
            bytes, registerModelArchiveClasses(), error, context);
    }
};

TEST_F(WrenEventsArchiveTest, RoundTripKeepsStampsLengthsAndRebuildsTheCharacterList)
{
    WrenEvents store;
    store.addEvent(WrenTimeStamp::initWithKey(0, 0, 1.0), false);
    store.addEvent(WrenTimeStamp::initWithSlide(2, 0, 1.5), false);
    store.addNullChar(1, false);
    store.addEvent(WrenTimeStamp::initWithKey(3, 1, 0.25), false);
    store.addEvent(WrenTimeStamp::initWithKey(1, -1, 0.0), true); // an empty stamp replacing
    store.addSessionLength(61.5f, 0);
    store.addSessionLength(0.1f, 1);

    const QByteArray bytes = lq::KeyedArchiver::archivedData(
        lq::ArchiveValue::object(std::shared_ptr<WrenEvents>(&store, [](WrenEvents *) {})));
    lq::Error error;
    const std::shared_ptr<WrenEvents> decoded = decode(bytes, &error);
    ASSERT_TRUE(decoded) << error.localizedDescription().toStdString();

    ASSERT_EQ(decoded->count(), store.count());
    for (size_t i = 0; i < store.count(); ++i) {
        const WrenTimeStampPtr a = store.getEvent(i);
        const WrenTimeStampPtr b = decoded->getEvent(i);
        EXPECT_EQ(b->type(), a->type());
        EXPECT_EQ(b->session(), a->session());
        EXPECT_EQ(b->offset(), a->offset());
        EXPECT_EQ(b->index(), a->index());
    }
    EXPECT_EQ(decoded->sessionLengths(), store.sessionLengths());
    EXPECT_TRUE(decoded->hasSessionLengths());
    ASSERT_EQ(decoded->keyEvents().size(), 4u);
    EXPECT_EQ(decoded->keyEvents()[0], decoded->getEvent(0));
    EXPECT_TRUE(decoded->keyEvents()[1]->isEmpty());
    EXPECT_TRUE(decoded->keyEvents()[2]->isEmpty());
    EXPECT_EQ(decoded->keyEvents()[3], decoded->getEvent(2));
}

TEST_F(WrenEventsArchiveTest, EveryStampKeepsItsCharacterAfterEditsAcrossTheList)
{
    // Long enough for many chunks of the character list; each edit moves the later ones.
    constexpr uint32_t kTyped = 5000;
    const auto typed = [](uint32_t first, uint32_t count, double from) {
        WrenEvents::StampList stamps;
        for (uint32_t i = 0; i < count; ++i)
            stamps.push_back(WrenTimeStamp::initWithKey(first + i, 1, from + i * 0.01));
        return stamps;
    };
    const struct
    {
        const char *name;
        std::function<void(WrenEvents &)> edit;
    } cases[] = {
        {"typing in the middle",
         [&](WrenEvents &s) { s.replaceCharacters(2500, 0, typed(2500, 700, 90)); }},
        {"deleting at the start", [](WrenEvents &s) { s.replaceCharacters(0, 1200, {}); }},
        {"pasting over a span",
         [&](WrenEvents &s) { s.replaceCharacters(100, 3000, typed(100, 10, 95)); }},
        {"typing at the end",
         [&](WrenEvents &s) { s.replaceCharacters(kTyped, 0, typed(kTyped, 900, 99)); }},
    };
    for (const auto &c : cases) {
        WrenEvents store;
        store.replaceCharacters(0, 0, typed(0, kTyped, 0));
        c.edit(store);
        const std::shared_ptr<WrenEvents> decoded = decode(lq::KeyedArchiver::archivedData(
            lq::ArchiveValue::object(std::shared_ptr<WrenEvents>(&store, [](WrenEvents *) {}))));
        ASSERT_TRUE(decoded) << c.name;
        ASSERT_EQ(decoded->count(), store.count()) << c.name;
        for (size_t i = 0; i < store.count(); ++i)
            ASSERT_EQ(decoded->getEvent(i)->index(), store.getEvent(i)->index())
                << c.name << " " << i;
        ASSERT_EQ(decoded->keyEvents().size(), store.keyEvents().size()) << c.name;
    }
}

TEST_F(WrenEventsArchiveTest, WithoutSessionsTheLengthsAreEmpty)
{
    const std::shared_ptr<WrenEvents> decoded = decode(eventsArchive({
        timeStampObject(WrenTimeStampTypeKey, 0, 1.0, 2),
        timeStampObject(WrenTimeStampTypeSlide, 0, 2.0, 1),
        timeStampObject(WrenTimeStampTypeKey, 0, 3.0, 5),
        timeStampObject(WrenTimeStampTypeKey, 0, 4.0, 2), // a later stamp of a character wins
    }));
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->sessionLengths().isEmpty());
    EXPECT_FALSE(decoded->hasSessionLengths());
    ASSERT_EQ(decoded->keyEvents().size(), 6u);
    for (const size_t empty : {0, 1, 3, 4})
        EXPECT_TRUE(decoded->keyEvents()[empty]->isEmpty()) << empty;
    EXPECT_EQ(decoded->keyEvents()[2], decoded->getEvent(3));
    EXPECT_EQ(decoded->keyEvents()[5], decoded->getEvent(2));
    for (size_t i = 0; i < decoded->keyEvents().size(); ++i)
        EXPECT_EQ(decoded->keyEvents()[i]->index(), i);
}

// A text typed partly while nothing was recorded: its trailing empty stamps are not archived, so
// typing over one of those characters after reopening replaces past the rebuilt list.
TEST_F(WrenEventsArchiveTest, TypingOverACharacterPastTheRebuiltListAppends)
{
    WrenEvents original;
    original.addEvent(WrenTimeStamp::initWithKey(0, 0, 1.0), false);
    original.addEvent(WrenTimeStamp::initWithKey(1, 0, 2.0), false);
    for (uint32_t i = 2; i < 5; ++i)
        original.addNullChar(i, false);
    const std::shared_ptr<WrenEvents> reopened = decode(lq::KeyedArchiver::archivedData(
        lq::ArchiveValue::object(std::shared_ptr<WrenEvents>(&original, [](WrenEvents *) {}))));
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->keyEvents().size(), 2u);

    lq::UndoManager undo;
    undo.setGroupsByEvent(false);
    reopened->setUm(&undo);
    const StoreState before = stateOf(*reopened);
    const WrenTimeStampPtr over = WrenTimeStamp::initWithKey(3, 1, 0.5);
    undo.beginUndoGrouping();
    reopened->insertEvent(over, true);
    undo.endUndoGrouping();
    ASSERT_EQ(reopened->keyEvents().size(), 4u);
    EXPECT_TRUE(reopened->keyEvents()[2]->isEmpty());
    EXPECT_EQ(reopened->keyEvents()[3], over);
    EXPECT_EQ(reopened->getEvents().back(), over);

    undo.undo();
    EXPECT_EQ(stateOf(*reopened).events, before.events);
    EXPECT_EQ(reopened->keyEvents().size(), 3u); // the filled empty stamp stays, as on insertion
    EXPECT_FALSE(reopened->indexOfEvent(over));
}

TEST_F(WrenEventsArchiveTest, ImplausibleCharacterIndexStaysOutOfTheCharacterList)
{
    lq::test::LogCapture capture;
    const std::shared_ptr<WrenEvents> decoded = decode(eventsArchive({
        timeStampObject(WrenTimeStampTypeKey, 0, 1.0, 1),
        timeStampObject(WrenTimeStampTypeKey, 0, 2.0, 4'000'000'000u),
        timeStampObject(WrenTimeStampTypeKey, 0, 3.0, WrenEvents::kMaxCharacterCount),
        timeStampObject(WrenTimeStampTypeKey, 0, 4.0, 3),
    }));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->count(), 4u);
    ASSERT_EQ(decoded->keyEvents().size(), 4u);
    EXPECT_EQ(decoded->keyEvents()[1], decoded->getEvent(0));
    EXPECT_EQ(decoded->keyEvents()[3], decoded->getEvent(3));
    EXPECT_FALSE(decoded->indexOfEvent(nullptr));
    EXPECT_EQ(decoded->lastKeyEvent(), decoded->getEvent(3));
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().front().startsWith(QStringLiteral("Program error")));
    EXPECT_TRUE(capture.lines().front().contains(QStringLiteral("4000000000")));
}

// The text's length bounds the per-character list, or without one the archive's size: a stamp
// beyond the text would otherwise fill the list up to its index (2^24 - 1 took 1.3 GB from an
// archive of a few hundred bytes).
TEST_F(WrenEventsArchiveTest, KeyStampsBeyondTheTextStayOutOfTheCharacterList)
{
    const QByteArray bytes = eventsArchive({
        timeStampObject(WrenTimeStampTypeKey, 0, 1.0, (1u << 24) - 1),
        timeStampObject(WrenTimeStampTypeKey, 0, 2.0, 3),
        timeStampObject(WrenTimeStampTypeKey, 0, 3.0, 9),
    });
    ASSERT_LT(bytes.size(), 1024);
    const struct
    {
        std::optional<qsizetype> textLength; // none: not told
        size_t characters;                   // entries of the per-character list
    } cases[] = {{10, 10}, {9, 4}, {4, 4}, {3, 0}, {-5, 0}, {std::nullopt, 10}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.textLength.value_or(-1));
        lq::test::LogCapture capture;
        const std::shared_ptr<WrenEvents> decoded = decode(
            bytes, nullptr,
            c.textLength ? WrenEvents::decodingContext(*c.textLength) : lq::ArchiveContext());
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->count(), 3u); // nothing is lost: saving writes every stamp again
        EXPECT_EQ(decoded->keyEvents().size(), c.characters);
        ASSERT_EQ(capture.lines().size(), 1);
        EXPECT_TRUE(capture.lines().front().contains(QLatin1String("(the first 16777215)")))
            << qPrintable(capture.lines().front());
        // A merged copy keeps the same stamps out of its list.
        EXPECT_LE(decoded->eventsWithMergedSessions()->keyEvents().size(), c.characters);
    }
}

TEST_F(WrenEventsArchiveTest, ARecordingPassesTheTextLengthToItsEvents)
{
    const QByteArray bytes = lq::KeyedArchiver::archivedData(
        handMadeObject(QStringLiteral("WrenRecording"), [](lq::KeyedArchiver &coder) {
            coder.encodeObject(
                QStringLiteral("wrenEvents"),
                handMadeObject(QStringLiteral("WrenEvents"), [](lq::KeyedArchiver &events) {
                    events.encodeObject(QStringLiteral("events"),
                                        lq::ArchiveValue::array({timeStampObject(
                                            WrenTimeStampTypeKey, 0, 1.0, (1u << 24) - 1)}));
                }));
        }));
    lq::test::LogCapture capture;
    lq::Error error;
    const auto recording = lq::KeyedUnarchiver::unarchiveObject<WrenRecording>(
        bytes, registerModelArchiveClasses(), &error, WrenEvents::decodingContext(12));
    ASSERT_TRUE(recording) << qPrintable(error.localizedDescription());
    EXPECT_EQ(recording->events().count(), 1u);
    EXPECT_TRUE(recording->events().keyEvents().empty());
}

TEST_F(WrenEventsArchiveTest, UnknownStampTypesAreDecodedAndLeftOutWhenMerging)
{
    const std::shared_ptr<WrenEvents> decoded = decode(eventsArchive({
        timeStampObject(WrenTimeStampTypeKey, 0, 1.0, 0),
        timeStampObject(3, 0, 2.0, 7),
        timeStampObject(WrenTimeStampTypeSlide, 0, 3.0, 1),
    }));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->count(), 3u);
    EXPECT_EQ(decoded->lastEventBeforeOffset(2.5, 0), decoded->getEvent(1));
    EXPECT_EQ(decoded->lastEventBeforeOffset(2.5, 0, 3), decoded->getEvent(1));

    lq::test::LogCapture capture;
    const std::unique_ptr<WrenEvents> merged = decoded->eventsWithMergedSessions();
    EXPECT_EQ(merged->count(), 2u);
    EXPECT_EQ(capture.lines(),
              QStringList{QStringLiteral("Program error, trying to add an unknown event type.\n")});
}

TEST_F(WrenEventsArchiveTest, DamagedStoresFailWithAnError)
{
    using Encode = std::function<void(lq::KeyedArchiver &)>;
    const struct
    {
        const char *what;
        Encode encode;
    } cases[] = {
        {"events not a list",
         [](lq::KeyedArchiver &c) {
             c.encodeObject(QStringLiteral("events"),
                            lq::ArchiveValue::string(QStringLiteral("x")));
         }},
        {"an event not a stamp",
         [](lq::KeyedArchiver &c) {
             c.encodeObject(QStringLiteral("events"),
                            lq::ArchiveValue::array({lq::ArchiveValue::integer(1)}));
         }},
        {"a null event",
         [](lq::KeyedArchiver &c) {
             c.encodeObject(QStringLiteral("events"),
                            lq::ArchiveValue::array({lq::ArchiveValue()}));
         }},
        {"sessions not a table",
         [](lq::KeyedArchiver &c) {
             c.encodeObject(QStringLiteral("sessions"), lq::ArchiveValue::array({}));
         }},
        {"a session named by text",
         [](lq::KeyedArchiver &c) {
             c.encodeObject(
                 QStringLiteral("sessions"),
                 lq::ArchiveValue::dictionary({{lq::ArchiveValue::string(QStringLiteral("0")),
                                                lq::ArchiveValue::real(1.0)}}));
         }},
        {"a session number out of range",
         [](lq::KeyedArchiver &c) {
             c.encodeObject(QStringLiteral("sessions"),
                            lq::ArchiveValue::dictionary({{lq::ArchiveValue::integer(1LL << 40),
                                                           lq::ArchiveValue::real(1.0)}}));
         }},
        {"a length that is not a number",
         [](lq::KeyedArchiver &c) {
             c.encodeObject(QStringLiteral("sessions"),
                            lq::ArchiveValue::dictionary(
                                {{lq::ArchiveValue::integer(0), lq::ArchiveValue::boolean(true)}}));
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        lq::Error error;
        EXPECT_FALSE(decode(
            lq::KeyedArchiver::archivedData(handMadeObject(QStringLiteral("WrenEvents"), c.encode)),
            &error));
        EXPECT_FALSE(error.isNull());
    }
}

TEST_F(WrenEventsArchiveTest, OutOfRangeLengthsAreHeldAtTheSinglePrecisionLimit)
{
    const std::shared_ptr<WrenEvents> decoded = decode(lq::KeyedArchiver::archivedData(
        handMadeObject(QStringLiteral("WrenEvents"), [](lq::KeyedArchiver &c) {
            c.encodeObject(QStringLiteral("sessions"),
                           lq::ArchiveValue::dictionary(
                               {{lq::ArchiveValue::integer(0), lq::ArchiveValue::real(1e300)},
                                {lq::ArchiveValue::integer(-1), lq::ArchiveValue::integer(7)}}));
        })));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->count(), 0u);
    EXPECT_EQ(decoded->sessionLengths(),
              (WrenEvents::SessionLengths{{-1, 7.0f}, {0, std::numeric_limits<float>::max()}}));
}

} // namespace
