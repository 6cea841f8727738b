// Typing, pasting and deleting in long notes while recording, then undoing every step and redoing
// it: after each step the text, the per-character list and the chronological list agree with
// plain lists that the same edits were applied to.

#include "model/WrenEvents.h"
#include "platform/foundation/UndoManager.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

using StampList = WrenEvents::StampList;

// A stamp as the lists should hold it: the object, its moment and its character index.
using Held = std::tuple<const WrenTimeStamp *, int32_t, double, uint32_t>;

// The note as plain lists keep it.
struct PlainNote
{
    QString text;
    StampList characters;
    StampList timeline;

    void replace(uint32_t location, uint32_t length, const QString &replacement,
                 const StampList &entries)
    {
        text.replace(location, length, replacement);
        const auto first = characters.begin() + location;
        const std::unordered_set<WrenTimeStampPtr> leaving(first, first + length);
        std::erase_if(timeline, [&](const auto &s) { return leaving.count(s) > 0; });
        characters.erase(first, first + length);
        characters.insert(characters.begin() + location, entries.begin(), entries.end());
        // The timeline stays in order: each stamp goes after those at its moment or earlier.
        const auto moment = [](const WrenTimeStampPtr &s) {
            return std::pair(s->session(), s->offset());
        };
        for (const WrenTimeStampPtr &entry : entries) {
            if (!entry->isEmpty())
                timeline.insert(std::upper_bound(timeline.begin(), timeline.end(), entry,
                                                 [&](const auto &a, const auto &b) {
                                                     return moment(a) < moment(b);
                                                 }),
                                entry);
        }
    }

    // Both lists as they should read: every key stamp with the index of its character.
    std::pair<std::vector<Held>, std::vector<Held>> held() const
    {
        std::unordered_map<const WrenTimeStamp *, uint32_t> indexes;
        std::vector<Held> byCharacter;
        for (size_t i = 0; i < characters.size(); ++i) {
            const WrenTimeStamp &s = *characters[i];
            indexes[&s] = static_cast<uint32_t>(i);
            byCharacter.emplace_back(&s, s.session(), s.offset(), static_cast<uint32_t>(i));
        }
        std::vector<Held> chronological;
        for (const WrenTimeStampPtr &s : timeline)
            chronological.emplace_back(s.get(), s->session(), s->offset(), indexes.at(s.get()));
        return {byCharacter, chronological};
    }
};

template <class List>
std::vector<Held> heldIn(const List &list)
{
    std::vector<Held> held;
    for (const WrenTimeStampPtr &s : list)
        held.emplace_back(s.get(), s->session(), s->offset(), s->index());
    return held;
}

// A chronological list by moment; stamps of one moment keep the order they were inserted in,
// which an undo that puts one back changes, so they are compared as a set.
std::vector<Held> byMoment(std::vector<Held> held)
{
    std::stable_sort(held.begin(), held.end(), [](const Held &a, const Held &b) {
        return std::tie(std::get<1>(a), std::get<2>(a), std::get<0>(a)) <
               std::tie(std::get<1>(b), std::get<2>(b), std::get<0>(b));
    });
    return held;
}

// The note as the program keeps it: its text and its stamps change in one undo step per edit.
class RecordedNote
{
public:
    explicit RecordedNote(const QString &text)
    {
        undo.setGroupsByEvent(false);
        StampList stamps;
        for (qsizetype i = 0; i < text.size(); ++i)
            stamps.push_back(stampAt(static_cast<uint32_t>(i)));
        m_events.replaceCharacters(0, 0, stamps);
        m_text = text;
        m_events.setUm(&undo);
        plain.replace(0, 0, text, stamps);
    }

    // One character typed over the selection, a paste, or a deletion.
    void edit(uint32_t location, uint32_t length, const QString &replacement, bool pasted)
    {
        StampList entries;
        for (qsizetype i = 0; i < replacement.size(); ++i) {
            const auto index = static_cast<uint32_t>(location + i);
            // A paste copies stamps of other characters; some characters have none.
            if (pasted && i % 7 == 3)
                entries.push_back(WrenTimeStamp::emptyKey(index));
            else if (pasted && !plain.characters.empty())
                entries.push_back(WrenTimeStamp::initWithKey(
                    index, 0, plain.characters[size_t(i) % plain.characters.size()]->offset()));
            else
                entries.push_back(stampAt(index));
        }
        undo.beginUndoGrouping();
        m_events.replaceCharacters(location, length, entries);
        replaceText(location, length, replacement);
        undo.endUndoGrouping();
        plain.replace(location, length, replacement, entries);
    }

    void expectAgreement(const PlainNote &expected, const char *when, int step) const
    {
        const auto [byCharacter, chronological] = expected.held();
        ASSERT_EQ(m_text, expected.text) << when << " " << step;
        ASSERT_EQ(heldIn(m_events.keyEvents()), byCharacter) << when << " " << step;
        const std::vector<Held> timeline = heldIn(m_events.getEvents());
        const auto later = [](const Held &a, const Held &b) {
            return std::tie(std::get<1>(a), std::get<2>(a)) >
                   std::tie(std::get<1>(b), std::get<2>(b));
        };
        ASSERT_EQ(std::adjacent_find(timeline.begin(), timeline.end(), later), timeline.end())
            << when << " " << step;
        ASSERT_EQ(byMoment(timeline), byMoment(chronological)) << when << " " << step;
    }

    uint32_t length() const { return static_cast<uint32_t>(m_text.size()); }

    lq::UndoManager undo;
    PlainNote plain;

private:
    // Recording: each stamp is the latest.
    WrenTimeStampPtr stampAt(uint32_t index)
    {
        m_now += 0.05;
        return WrenTimeStamp::initWithKey(index, 0, m_now);
    }

    void replaceText(uint32_t location, uint32_t length, const QString &replacement)
    {
        const QString old = m_text.mid(location, length);
        m_text.replace(location, length, replacement);
        undo.registerUndo(this, [this, location, length = replacement.size(), old] {
            replaceText(location, static_cast<uint32_t>(length), old);
        });
    }

    WrenEvents m_events;
    QString m_text;
    double m_now = 0.0;
};

QString longParagraph(int length)
{
    QString text;
    for (int i = 0; i < length; ++i)
        text += QChar(u'a' + i % 26);
    return text;
}

QString manyParagraphs(int length)
{
    QString text = longParagraph(length);
    for (int i = 49; i < length; i += 50)
        text[i] = u'\n';
    return text;
}

TEST(StampUndoWalkTest, TextAndBothStampListsAgreeThroughEditsUndoAndRedo)
{
    struct Case
    {
        const char *name;
        QString text;
    };
    const Case cases[] = {
        {"one paragraph of 12,000 characters", longParagraph(12000)},
        {"240 paragraphs of 50 characters", manyParagraphs(12000)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordedNote note(c.text);
        std::mt19937 random(11);
        const auto pick = [&](uint32_t below) {
            return std::uniform_int_distribution<uint32_t>(0, below - 1)(random);
        };
        std::vector<PlainNote> states{note.plain};
        const auto edit = [&](uint32_t location, uint32_t length, const QString &replacement,
                              bool pasted) {
            note.edit(location, length, replacement, pasted);
            note.expectAgreement(note.plain, "edit", int(states.size()));
            states.push_back(note.plain);
        };
        for (int step = 0; step < 60; ++step) {
            const uint32_t caret = pick(note.length() + 1);
            const uint32_t selected = std::min(pick(3) == 0 ? pick(40) : 0u, note.length() - caret);
            switch (step % 4) {
            case 0: // typing, now and then over a selection
            case 1:
                ASSERT_NO_FATAL_FAILURE(edit(caret, selected, QStringLiteral("x"), false));
                break;
            case 2: // a paste of up to 2,000 characters
                ASSERT_NO_FATAL_FAILURE(
                    edit(caret, selected, longParagraph(1 + int(pick(2000))), true));
                break;
            case 3: // deleting up to 4,000 characters
                ASSERT_NO_FATAL_FAILURE(
                    edit(caret, std::min(1 + pick(4000), note.length() - caret), QString(), false));
                break;
            }
        }
        // Everything deleted, then typed afresh.
        ASSERT_NO_FATAL_FAILURE(edit(0, note.length(), QString(), false));
        ASSERT_NO_FATAL_FAILURE(edit(0, 0, QStringLiteral("x"), false));
        for (size_t step = states.size() - 1; step-- > 0;) {
            note.undo.undo();
            ASSERT_NO_FATAL_FAILURE(note.expectAgreement(states[step], "undo", int(step)));
        }
        ASSERT_FALSE(note.undo.canUndo());
        for (size_t step = 1; step < states.size(); ++step) {
            note.undo.redo();
            ASSERT_NO_FATAL_FAILURE(note.expectAgreement(states[step], "redo", int(step)));
        }
    }
}

} // namespace
