#pragma once

#include <cstdint>
#include <functional>

namespace lq {
class UndoManager;
}

// The document as its recording object sees it. A callback is sent only when the owner answers
// it; an owner answers none unless it says otherwise.
class RecordingOwner
{
public:
    enum class Callback {
        HighlightChar,
        PlaybackStopped,
        SetFinishedRecordingToFile,
        UndoManager,
        UpdateChangeCount,
        SynchronousFileAccess,
    };

    virtual ~RecordingOwner() = default;

    virtual bool answers(Callback) const { return false; }

    // Playback has reached the character at index.
    virtual void highlightChar(uint32_t) {}
    virtual void playbackStopped() {}
    // The engine has finished writing the last file of a session.
    virtual void setFinishedRecordingToFile(bool) {}
    // The manager every undoable change of the recording registers with.
    virtual lq::UndoManager *undoManager() { return nullptr; }
    // changeType 0: a change was done; the document now counts as edited.
    virtual void updateChangeCount(int32_t) {}
    // Sessions came or went (an import, or its undo or redo).
    virtual void sessionsChanged() {}
    // Runs work while no save or other file access of the document runs.
    virtual void performSynchronousFileAccess(const std::function<void()> &work) { work(); }
};
