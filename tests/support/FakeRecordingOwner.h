#pragma once

#include "model/RecordingOwner.h"
#include "platform/foundation/UndoManager.h"

#include <QList>

#include <set>

namespace lq::test {

// A document that answers the callbacks it is given and logs what it receives.
class FakeRecordingOwner final : public RecordingOwner
{
public:
    explicit FakeRecordingOwner(std::set<Callback> answered = {Callback::HighlightChar,
                                                               Callback::PlaybackStopped,
                                                               Callback::SetFinishedRecordingToFile,
                                                               Callback::UndoManager,
                                                               Callback::UpdateChangeCount,
                                                               Callback::SynchronousFileAccess})
        : m_answered(std::move(answered))
    {
        undo.setGroupsByEvent(false);
    }

    bool answers(Callback callback) const override { return m_answered.count(callback) > 0; }
    void highlightChar(uint32_t index) override { highlighted.append(index); }
    void playbackStopped() override { ++playbackStoppedCalls; }
    void setFinishedRecordingToFile(bool finished) override { finishedRecording.append(finished); }
    UndoManager *undoManager() override { return &undo; }
    void updateChangeCount(int32_t changeType) override { changeCounts.append(changeType); }
    void performSynchronousFileAccess(const std::function<void()> &work) override
    {
        ++fileAccesses;
        work();
    }

    // One undoable step.
    template <class Work>
    void inUndoGroup(Work &&work)
    {
        undo.beginUndoGrouping();
        work();
        undo.endUndoGrouping();
    }

    UndoManager undo;
    QList<uint32_t> highlighted;
    int playbackStoppedCalls = 0;
    QList<bool> finishedRecording;
    QList<int32_t> changeCounts;
    int fileAccesses = 0;

private:
    std::set<Callback> m_answered;
};

} // namespace lq::test
