#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace lq {

// Records inverse operations as they happen. An operation registers the call that undoes it;
// calls registered while undoing form the redo group, and calls registered while redoing form
// the undo group again. Registrations are grouped per pass of the event loop, and explicit
// groups nest inside that group, so one command handled in one pass is one step. Main thread
// only: a registration from another thread is refused and logged as a program error.
class UndoManager : public QObject
{
    Q_OBJECT
public:
    // Whatever identifies the object an action works on; used only to remove its actions.
    using Target = const void *;

    explicit UndoManager(QObject *parent = nullptr);
    ~UndoManager() override;

    // Records the call that undoes what just happened. Outside undo and redo this clears redo.
    void registerUndo(Target target, std::function<void()> action);

    // Names the open group; with none open, the step that this pass opens next (the name is
    // dropped when the pass opens none). A closed step is never renamed.
    void setActionName(const QString &name);
    QString undoActionName() const;
    QString redoActionName() const;
    QString undoMenuItemTitle() const; // "Undo <name>", or "Undo" without a name
    QString redoMenuItemTitle() const; // "Redo <name>", or "Redo" without a name

    bool canUndo() const;
    bool canRedo() const;
    // Closes the open group first, then runs the last group's actions in reverse order.
    // Refused (and logged) while undoing or redoing, or while groups it does not close are open.
    void undo();
    void redo();
    bool isUndoing() const;
    bool isRedoing() const;

    // When grouping by event, a group begun with none open also opens the pass's group, so
    // groupingLevel() reads 2 inside it and what the pass registers afterwards joins it.
    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const;
    // On by default: the first registration opens a group that the event loop closes.
    void setGroupsByEvent(bool groupsByEvent);
    bool groupsByEvent() const;

    // Nestable: registration resumes when every disable has been matched by an enable.
    void disableUndoRegistration();
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const;

    // Both also drop the matching actions that an undo or redo under way has not run yet.
    void removeAllActions();
    void removeAllActions(Target target);

Q_SIGNALS:
    // After anything that changes canUndo, canRedo or the action names.
    void stateChanged();
    // A document's change count follows these: a new step +1, an undone step -1, a redone
    // step +1. stepClosed comes when a group with actions lands on the undo stack outside
    // undo and redo (so not for the groups that undo and redo collect); the other two after
    // undo() or redo() ran a step.
    void stepClosed();
    void stepUndone();
    void stepRedone();

private:
    class Private;
    std::unique_ptr<Private> d;
};

// One explicit group while it lives (nothing without an undo manager).
class UndoGroup
{
public:
    explicit UndoGroup(UndoManager *undo) : m_undo(undo)
    {
        if (m_undo)
            m_undo->beginUndoGrouping();
    }
    ~UndoGroup()
    {
        if (m_undo)
            m_undo->endUndoGrouping();
    }
    UndoGroup(const UndoGroup &) = delete;
    UndoGroup &operator=(const UndoGroup &) = delete;

private:
    UndoManager *m_undo;
};

} // namespace lq
