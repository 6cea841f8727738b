#pragma once

#include "document/WrenTextViewDelegate.h"
#include "model/WrenEvents.h"
#include "platform/foundation/UndoManager.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace lq::test {

// Stands in for the document behind a notes text view: records every check, stamps each
// changed range into its own event store (as typing while recording does) unless undoing or
// redoing, and keeps the undo manager. Header only: the programs that use it link the model.
class FakeTextViewDelegate : public WrenTextViewDelegate
{
public:
    struct Check
    {
        TextRange range;
        QString replacement;
        friend bool operator==(const Check &, const Check &) = default;
    };

    FakeTextViewDelegate() { events.setUm(&undo); }

    bool shouldChangeTextInRange(WrenTextView *, TextRange range,
                                 const QString &replacement) override
    {
        checks.push_back({range, replacement});
        if (refuse)
            return false;
        if (replacement.isNull() || undo.isUndoing() || undo.isRedoing())
            return true;
        WrenEvents::StampList entries;
        entries.reserve(size_t(replacement.size()));
        for (qsizetype i = 0; i < replacement.size(); ++i) {
            moment += 0.05;
            entries.push_back(WrenTimeStamp::initWithKey(uint32_t(range.location + i), 0, moment));
        }
        events.replaceCharacters(uint32_t(range.location), uint32_t(range.length), entries);
        return true;
    }

    void didChangeSelection(WrenTextView *, TextRange selection) override
    {
        selections.push_back(selection);
    }

    UndoManager *undoManager() const override { return &undo; }

    // Empty when the per-character list has one entry per character of a text of length, each
    // at its position, and the chronological list holds exactly its stamps.
    std::string disagreement(qsizetype length) const
    {
        const WrenEvents::CharacterList &keys = events.keyEvents();
        if (qsizetype(keys.size()) != length)
            return (QStringLiteral("%1 entries for %2 characters").arg(keys.size()).arg(length))
                .toStdString();
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!keys[i] || keys[i]->index() != i)
                return (QStringLiteral("entry %1 has the index of another character").arg(i))
                    .toStdString();
            if (!events.indexOfEvent(keys[i]))
                return (QStringLiteral("entry %1 is not in the chronological list").arg(i))
                    .toStdString();
        }
        if (events.count() != keys.size())
            return (QStringLiteral("%1 stamps for %2 entries").arg(events.count()).arg(keys.size()))
                .toStdString();
        return {};
    }

    mutable UndoManager undo;
    WrenEvents events;
    std::vector<Check> checks;
    std::vector<TextRange> selections;
    bool refuse = false;
    double moment = 0;
};

} // namespace lq::test
