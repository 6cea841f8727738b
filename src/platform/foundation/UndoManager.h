#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace lq {

// Records inverse operations as they happen. An operation registers the call that undoes it;
// calls registered while undoing form the redo group, and calls registered while redoing form
// the undo group again. Registrations are grouped per pass of the event loop, and explicit
// groups may nest inside that.
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

    void removeAllActions();
    // Also drops the target's actions that an undo or redo under way has not run yet.
    void removeAllActions(Target target);

Q_SIGNALS:
    // After anything that changes canUndo, canRedo or the action names.
    void stateChanged();

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace lq
