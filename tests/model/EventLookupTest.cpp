// The event store's look-ups against a plain implementation of the scans they stand for, over
// random sequences of changes that keep the chronological list in order most of the time.

#include "WrenEventsTestSupport.h"
#include "model/WrenEvents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

namespace {

// The chronological list as straightforward scans keep and read it.
class ScanTimeline
{
public:
    std::vector<WrenTimeStampPtr> stamps;

    void append(const WrenTimeStampPtr &s) { stamps.push_back(s); }

    void insert(const WrenTimeStampPtr &s)
    {
        size_t i = 0;
        while (i < stamps.size() &&
               (stamps[i]->session() < s->session() ||
                (stamps[i]->session() == s->session() && stamps[i]->offset() <= s->offset())))
            ++i;
        stamps.insert(stamps.begin() + static_cast<std::ptrdiff_t>(i), s);
    }

    void removeLast(const WrenTimeStampPtr &s)
    {
        for (size_t i = stamps.size(); i-- > 0;) {
            if (stamps[i] == s) {
                stamps.erase(stamps.begin() + static_cast<std::ptrdiff_t>(i));
                return;
            }
        }
    }

    std::optional<size_t> indexOf(const WrenTimeStampPtr &s) const
    {
        for (size_t i = 0; i < stamps.size(); ++i) {
            if (stamps[i] == s)
                return i;
        }
        return std::nullopt;
    }

    WrenTimeStampPtr walkBack(size_t from, int32_t type) const
    {
        for (size_t i = from; i-- > 0;) {
            if (type < 0 || stamps[i]->type() == type)
                return stamps[i];
        }
        return nullptr;
    }

    WrenTimeStampPtr lastBeforeOffset(double x, int32_t k, int32_t type) const
    {
        size_t p = 0;
        while (p < stamps.size() && !(stamps[p]->session() > k ||
                                      (stamps[p]->session() == k && stamps[p]->offset() > x)))
            ++p;
        if (type == WrenTimeStampTypeSlide && p < stamps.size() &&
            stamps[p]->type() == WrenTimeStampTypeSlide && stamps[p]->session() == k &&
            x >= stamps[p]->offset() - 0.01)
            return stamps[p];
        return walkBack(p, type);
    }

    WrenTimeStampPtr lastBeforeEvent(const WrenTimeStampPtr &s, int32_t type) const
    {
        const std::optional<size_t> position = indexOf(s);
        return position ? walkBack(*position, type) : nullptr;
    }

    bool isOrdered() const
    {
        for (size_t i = 1; i < stamps.size(); ++i) {
            const WrenTimeStamp &a = *stamps[i - 1];
            const WrenTimeStamp &b = *stamps[i];
            if (!(a.session() < b.session() ||
                  (a.session() == b.session() && a.offset() <= b.offset())))
                return false;
        }
        return true;
    }
};

class RandomChanges
{
public:
    // An orderly run makes no change that puts the chronological list out of order. The store
    // starts with recorded stamps in order, as many as given.
    RandomChanges(unsigned seed, bool orderly, size_t recorded = 0)
        : m_random(seed), m_orderly(orderly)
    {
        std::vector<std::pair<int32_t, double>> moments(recorded);
        for (auto &moment : moments)
            moment = {gridSession(), gridOffset()};
        std::sort(moments.begin(), moments.end());
        for (const auto &[session, offset] : moments) {
            const WrenTimeStampPtr s =
                makeStamp(static_cast<uint32_t>(m_store.keyEvents().size()), session, offset);
            m_store.addEvent(s, false);
            m_scan.append(s);
        }
    }

    void run(int changes)
    {
        for (int i = 0; i < changes; ++i) {
            change();
            ASSERT_EQ(stateOf(m_store.getEvents()), stateOf(m_scan.stamps)) << "after change " << i;
            checkKeyEvents();
            (m_scan.isOrdered() ? m_orderedChecks : m_unorderedChecks) += 1;
            for (int q = 0; q < 12; ++q)
                compareLookUps();
            if (testing::Test::HasFailure())
                return;
        }
    }

    int orderedChecks() const { return m_orderedChecks; }
    int unorderedChecks() const { return m_unorderedChecks; }

private:
    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_random); }
    int32_t gridSession() { return pick(3); }
    double gridOffset() { return 0.5 * pick(11); }

    WrenTimeStampPtr makeStamp(uint32_t characterIndex, int32_t session, double offset)
    {
        return chance(0.3) ? WrenTimeStamp::initWithSlide(1 + pick(4), session, offset)
                           : WrenTimeStamp::initWithKey(characterIndex, session, offset);
    }

    WrenTimeStampPtr randomEvent()
    {
        if (m_scan.stamps.empty())
            return nullptr;
        return m_scan.stamps[static_cast<size_t>(pick(static_cast<int>(m_scan.stamps.size())))];
    }

    uint32_t randomCharacter(int beyond)
    {
        return static_cast<uint32_t>(pick(static_cast<int>(m_store.keyEvents().size()) + beyond));
    }

    void change()
    {
        switch (pick(11)) {
        case 0:
        case 1: { // recording: the latest moment, now and then an earlier one
            int32_t session = m_scan.stamps.empty() ? 0 : m_scan.stamps.back()->session();
            double offset = m_scan.stamps.empty() ? 0.0 : m_scan.stamps.back()->offset();
            if (!m_orderly && chance(0.1)) {
                session = gridSession();
                offset = gridOffset();
            } else if (chance(0.1)) {
                ++session;
                offset = 0.0;
            } else {
                offset += 0.5 * pick(2);
            }
            const WrenTimeStampPtr s = makeStamp(randomCharacter(3), session, offset);
            m_store.addEvent(s, false);
            m_scan.append(s);
            break;
        }
        case 2:
        case 3: { // edits during playback
            const WrenTimeStampPtr s = makeStamp(randomCharacter(3), gridSession(), gridOffset());
            m_store.insertEvent(s, false);
            m_scan.insert(s);
            break;
        }
        case 4: { // typing over a character
            const uint32_t index = randomCharacter(2);
            const WrenTimeStampPtr s =
                WrenTimeStamp::initWithKey(index, gridSession(), gridOffset());
            if (index < m_store.keyEvents().size() && !m_store.keyEvents()[index]->isEmpty())
                m_scan.removeLast(m_store.keyEvents()[index]);
            m_store.insertEvent(s, true);
            m_scan.insert(s);
            break;
        }
        case 5:
            if (const WrenTimeStampPtr s = randomEvent()) {
                m_store.removeEvent(s);
                m_scan.removeLast(s);
            }
            break;
        case 6:
            if (!m_store.keyEvents().empty()) {
                const uint32_t index = randomCharacter(0);
                if (!m_store.keyEvents()[index]->isEmpty())
                    m_scan.removeLast(m_store.keyEvents()[index]);
                m_store.removeEventForCharacter(index);
            }
            break;
        case 7: {
            const uint32_t index = randomCharacter(2);
            const bool replace = chance(0.5);
            if (replace && index < m_store.keyEvents().size() &&
                !m_store.keyEvents()[index]->isEmpty())
                m_scan.removeLast(m_store.keyEvents()[index]);
            m_store.addNullChar(index, replace);
            break;
        }
        case 8: // timing changed behind the store's back
            if (const WrenTimeStampPtr s = randomEvent(); s && !m_orderly) {
                if (chance(0.5))
                    s->setOffset(gridOffset());
                else
                    s->setSession(gridSession());
            }
            break;
        case 9:
            if (chance(0.2))
                m_store.resetEventsToFirstSessionWithSessionLengths(QList<double>(50, 1000.0));
            else
                m_store.insertSession(gridSession(), 6.0);
            break;
        case 10: // replacing a selection, at times long enough to be taken out in one pass
            replaceSelection();
            break;
        }
    }

    void replaceSelection()
    {
        const WrenEvents::CharacterList &keys = m_store.keyEvents();
        const uint32_t location = randomCharacter(1);
        const auto oldLength = std::min(static_cast<uint32_t>(pick(24)),
                                        static_cast<uint32_t>(keys.size()) - location);
        WrenEvents::StampList entries;
        for (int i = pick(4); i-- > 0;) {
            const auto index = static_cast<uint32_t>(location + entries.size());
            entries.push_back(chance(0.2)
                                  ? WrenTimeStamp::emptyKey(index)
                                  : WrenTimeStamp::initWithKey(index, gridSession(), gridOffset()));
        }
        for (uint32_t i = location; i < location + oldLength; ++i) {
            if (!keys[i]->isEmpty())
                m_scan.removeLast(keys[i]);
        }
        for (const WrenTimeStampPtr &entry : entries) {
            if (!entry->isEmpty())
                m_scan.insert(entry);
        }
        m_store.replaceCharacters(location, oldLength, entries);
    }

    void checkKeyEvents()
    {
        const WrenEvents::CharacterList &keys = m_store.keyEvents();
        for (size_t i = 0; i < keys.size(); ++i) {
            ASSERT_EQ(keys[i]->index(), i);
            if (!keys[i]->isEmpty()) {
                ASSERT_TRUE(m_scan.indexOf(keys[i])) << i;
            }
        }
    }

    void compareLookUps()
    {
        const int32_t types[] = {-1, WrenTimeStampTypeKey, WrenTimeStampTypeSlide, 3};
        const int32_t type = types[pick(4)];
        int32_t session = gridSession();
        double offset = gridOffset();
        if (const WrenTimeStampPtr near = randomEvent(); near && chance(0.5)) {
            const double nudges[] = {0.0, -0.005, 0.005, -0.01, -0.02, 0.02};
            session = near->session();
            offset = near->offset() + nudges[pick(6)];
        }
        ASSERT_EQ(m_store.lastEventBeforeOffset(offset, session, type),
                  m_scan.lastBeforeOffset(offset, session, type))
            << "session " << session << " offset " << offset << " type " << type;

        const WrenTimeStampPtr s =
            chance(0.9) ? randomEvent() : WrenTimeStamp::initWithKey(0, session, offset);
        ASSERT_EQ(m_store.indexOfEvent(s), s ? m_scan.indexOf(s) : std::nullopt);
        ASSERT_EQ(m_store.lastEventBeforeEvent(s, type),
                  s ? m_scan.lastBeforeEvent(s, type) : nullptr);

        const WrenTimeStampPtr lastKey =
            m_scan.walkBack(m_scan.stamps.size(), WrenTimeStampTypeKey);
        ASSERT_EQ(m_store.lastKeyEvent(), m_store.keyEvents().empty() ? nullptr : lastKey);
        ASSERT_EQ(m_store.lastSlideEvent(),
                  m_scan.walkBack(m_scan.stamps.size(), WrenTimeStampTypeSlide));
    }

    std::mt19937 m_random;
    bool m_orderly;
    WrenEvents m_store;
    ScanTimeline m_scan;
    int m_orderedChecks = 0;
    int m_unorderedChecks = 0;
};

TEST(EventLookupTest, LookUpsAnswerWhatTheScansAnswer)
{
    int ordered = 0;
    int unordered = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        RandomChanges changes(seed, seed % 2 == 0);
        changes.run(300);
        if (HasFailure())
            return;
        ordered += changes.orderedChecks();
        unordered += changes.unorderedChecks();
    }
    // Both ways of answering were exercised.
    EXPECT_GT(ordered, 2000);
    EXPECT_GT(unordered, 1000);
}

// Lists of many chunks, with long runs of stamps at one moment across chunk boundaries.
TEST(EventLookupTest, LookUpsInLongListsAnswerWhatTheScansAnswer)
{
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        RandomChanges changes(seed, seed % 2 == 0, 3000);
        changes.run(150);
        if (HasFailure())
            return;
    }
}

} // namespace
