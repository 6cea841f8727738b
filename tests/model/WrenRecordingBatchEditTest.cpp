#include "model/WrenEvents.h"
#include "platform/foundation/UndoManager.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

namespace {

using Entry = std::tuple<uint32_t, int32_t, double>; // index, session, offset

// A store with its own undo manager, one undo group per edit.
struct Store
{
    Store()
    {
        undo.setGroupsByEvent(false);
        events.setUm(&undo);
    }
    std::vector<Entry> keys() const
    {
        std::vector<Entry> result;
        for (const WrenTimeStampPtr &s : events.keyEvents())
            result.emplace_back(s->index(), s->session(), s->offset());
        return result;
    }
    std::vector<Entry> chronological() const
    {
        std::vector<Entry> result;
        for (const WrenTimeStampPtr &s : events.getEvents())
            result.emplace_back(s->index(), s->session(), s->offset());
        return result;
    }
    WrenEvents events;
    lq::UndoManager undo;
};

// The change replaceCharacters stands for, one operation at a time.
void placeOneByOne(WrenEvents &events, uint32_t location, uint32_t oldLength,
                   const WrenEvents::StampList &entries)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i]->isEmpty())
            events.addNullChar(entries[i]->index(), i < oldLength);
        else
            events.insertEvent(entries[i], i < oldLength);
    }
    for (uint32_t p = location + oldLength; p-- > location + entries.size();)
        events.removeEventForCharacter(p);
}

// Random edits (inside the list and past its end, with key, copied and empty entries) give the
// same lists through replaceCharacters as one operation at a time, and so do undo and redo.
TEST(WrenRecordingBatchEditTest, ReplaceCharactersMatchesSingleOperations)
{
    std::mt19937 random(7);
    Store batch;
    Store single;
    double now = 0.0;
    for (int edit = 0; edit < 300; ++edit) {
        const auto size = static_cast<uint32_t>(batch.events.keyEvents().size());
        const uint32_t location = std::uniform_int_distribution<uint32_t>(0, size + 2)(random);
        const uint32_t oldLength = std::uniform_int_distribution<uint32_t>(0, 12)(random);
        const uint32_t newLength = std::uniform_int_distribution<uint32_t>(0, 12)(random);
        WrenEvents::StampList forBatch;
        WrenEvents::StampList forSingle;
        for (uint32_t i = 0; i < newLength; ++i) {
            const int kind = std::uniform_int_distribution<int>(0, 2)(random);
            now += 0.1;
            const double offset = kind == 1 ? now - 5.0 : now; // some land earlier
            if (kind == 2) {
                forBatch.push_back(WrenTimeStamp::emptyKey(location + i));
                forSingle.push_back(WrenTimeStamp::emptyKey(location + i));
            } else {
                forBatch.push_back(WrenTimeStamp::initWithKey(location + i, 0, offset));
                forSingle.push_back(WrenTimeStamp::initWithKey(location + i, 0, offset));
            }
        }
        batch.undo.beginUndoGrouping();
        batch.events.replaceCharacters(location, oldLength, forBatch);
        batch.undo.endUndoGrouping();
        single.undo.beginUndoGrouping();
        placeOneByOne(single.events, location, oldLength, forSingle);
        single.undo.endUndoGrouping();
        ASSERT_EQ(batch.keys(), single.keys()) << "edit " << edit;
        ASSERT_EQ(batch.chronological(), single.chronological()) << "edit " << edit;
    }
    while (single.undo.canUndo()) {
        ASSERT_TRUE(batch.undo.canUndo());
        batch.undo.undo();
        single.undo.undo();
        ASSERT_EQ(batch.keys(), single.keys());
        ASSERT_EQ(batch.chronological(), single.chronological());
    }
    EXPECT_FALSE(batch.undo.canUndo());
    while (single.undo.canRedo()) {
        batch.undo.redo();
        single.undo.redo();
        ASSERT_EQ(batch.keys(), single.keys());
        ASSERT_EQ(batch.chronological(), single.chronological());
    }
}

} // namespace
