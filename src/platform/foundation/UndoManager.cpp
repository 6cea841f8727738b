#include "platform/foundation/UndoManager.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <optional>
#include <utility>
#include <vector>

namespace lq {
namespace {

struct Action
{
    UndoManager::Target target = nullptr;
    std::function<void()> call;
};

// One entry of a stack: what a single undo or redo runs. Nested groups are flattened into it.
struct Group
{
    QString name;
    std::vector<Action> actions;
};

const Group *top(const std::vector<Group> &stack)
{
    return stack.empty() ? nullptr : &stack.back();
}

// What menus show; stateChanged is emitted whenever it changes.
struct VisibleState
{
    bool canUndo = false;
    bool canRedo = false;
    QString undoName;
    QString redoName;

    bool operator==(const VisibleState &) const = default;
};

} // namespace

class UndoManager::Private
{
public:
    explicit Private(UndoManager *q) : q(q) {}

    bool isRunningActions() const { return undoing || redoing; }

    // Whether undo() and redo() close the open group before they start.
    bool closesOpenGroupFirst() const { return groupsByEvent && level == 1 && !isRunningActions(); }

    bool mayUndoOrRedoNow() const { return level == 0 || closesOpenGroupFirst(); }

    const Group *nextUndoGroup() const
    {
        if (!mayUndoOrRedoNow())
            return nullptr;
        if (level != 0 && !openGroup.actions.empty())
            return &openGroup;
        return top(undoStack);
    }

    // A non-empty open group implies an empty redo stack: its registrations cleared it.
    const Group *nextRedoGroup() const { return mayUndoOrRedoNow() ? top(redoStack) : nullptr; }

    // Opens the top-level group, named by a name given before it opened in this pass.
    void openTopGroup(bool byEvent)
    {
        level = 1;
        autoGroup = byEvent;
        openGroup = Group{pendingName.value_or(QString()), {}};
        pendingName.reset();
        if (byEvent)
            scheduleEndOfPass();
    }

    void scheduleEndOfPass()
    {
        if (endOfPassPending)
            return;
        endOfPassPending = true;
        QMetaObject::invokeMethod(
            q,
            [this] {
                endOfPassPending = false;
                pendingName.reset();
                closeAutoGroup();
            },
            Qt::QueuedConnection);
    }

    // At the end of the event-loop pass in which the group was opened, unless an explicit
    // group nested inside it is still open; endUndoGrouping schedules this again then.
    void closeAutoGroup()
    {
        if (!autoGroup || level != 1)
            return;
        level = 0;
        const bool closedStep = closeOpenGroup();
        if (closedStep)
            Q_EMIT q->stepClosed();
        notifyIfChanged();
    }

    // Puts the open top-level group on the stack being filled, unless it is empty. Answers
    // whether that made a new step: a group closed outside undo and redo.
    bool closeOpenGroup()
    {
        autoGroup = false;
        Group group = std::exchange(openGroup, Group{});
        if (group.actions.empty())
            return false;
        std::vector<Group> &stack = undoing ? redoStack : undoStack;
        stack.push_back(std::move(group));
        return !isRunningActions();
    }

    // Answers whether the stacks may be walked now, closing an open auto group first; tells
    // through closedStep whether that made a new step.
    bool prepareToWalk(const char *what, bool &closedStep)
    {
        closedStep = false;
        if (isRunningActions()) {
            log(QStringLiteral("UndoManager: %1 called while undoing or redoing; ignored")
                    .arg(QLatin1String(what)));
            return false;
        }
        if (closesOpenGroupFirst()) {
            level = 0;
            closedStep = closeOpenGroup();
        }
        if (level != 0) {
            log(QStringLiteral("UndoManager: %1 called inside an open undo group; ignored")
                    .arg(QLatin1String(what)));
            return false;
        }
        pendingName.reset(); // this pass opens no step of its own now
        return true;
    }

    // Runs the top group of `from` backwards inside a group that collects what its actions
    // register; that group lands on the other stack under the same name. Answers whether a
    // group ran.
    bool walk(std::vector<Group> &from, bool &runningFlag)
    {
        if (from.empty())
            return false;
        Group group = std::move(from.back());
        from.pop_back();
        runningFlag = true;
        floor = level = 1;
        openGroup = Group{group.name, {}};
        running = std::move(group.actions);
        while (!running.empty()) {
            Action action = std::move(running.back());
            running.pop_back();
            action.call();
        }
        if (level != 1)
            log(QStringLiteral("UndoManager: an action left %1 undo group(s) open; closed them")
                    .arg(level - 1));
        floor = level = 0;
        closeOpenGroup();
        runningFlag = false;
        return true;
    }

    // undo() and redo(): the step signal after the walk, so that its receivers see the stacks
    // settled.
    void undoOrRedo(const char *what, std::vector<Group> &from, bool &runningFlag,
                    void (UndoManager::*ranStep)())
    {
        bool closedStep = false;
        if (!prepareToWalk(what, closedStep))
            return;
        const bool ran = walk(from, runningFlag);
        if (closedStep)
            Q_EMIT q->stepClosed();
        if (ran)
            Q_EMIT(q->*ranStep)();
        notifyIfChanged();
    }

    void notifyIfChanged()
    {
        if (isRunningActions())
            return;
        VisibleState now{q->canUndo(), q->canRedo(), q->undoActionName(), q->redoActionName()};
        if (now == shown)
            return;
        shown = std::move(now);
        Q_EMIT q->stateChanged();
    }

    UndoManager *q;
    std::vector<Group> undoStack;
    std::vector<Group> redoStack;
    Group openGroup; // the open top-level group, meaningful while level > 0
    int level = 0;
    int floor = 0; // 1 while undo() or redo() hold their own group open
    bool autoGroup = false;
    bool endOfPassPending = false;
    std::optional<QString> pendingName; // set at level 0, for the group this pass opens
    bool groupsByEvent = true;
    bool undoing = false;
    bool redoing = false;
    int disableCount = 0;
    std::vector<Action> running; // actions of the group being undone or redone, not yet run
    VisibleState shown;
};

UndoManager::UndoManager(QObject *parent) : QObject(parent), d(std::make_unique<Private>(this))
{}

UndoManager::~UndoManager() = default;

void UndoManager::registerUndo(Target target, std::function<void()> action)
{
    if (!action) {
        log(QStringLiteral("UndoManager: ignored an empty undo action"));
        return;
    }
    if (QCoreApplication::instance() && !isMainThread()) {
        log(QStringLiteral("Program error, an undo action was registered off the main thread; "
                           "refused"));
        return;
    }
    if (d->disableCount > 0)
        return;
    if (d->level == 0) {
        if (!d->groupsByEvent) {
            log(QStringLiteral("UndoManager: undo registered outside any group; dropped"));
            return;
        }
        d->openTopGroup(true);
    }
    if (!d->isRunningActions())
        d->redoStack.clear();
    d->openGroup.actions.push_back(Action{target, std::move(action)});
    d->notifyIfChanged();
}

void UndoManager::setActionName(const QString &name)
{
    if (d->level > 0) {
        d->openGroup.name = name;
        d->notifyIfChanged();
        return;
    }
    d->pendingName = name;
    d->scheduleEndOfPass();
}

QString UndoManager::undoActionName() const
{
    const Group *group = d->nextUndoGroup();
    return group ? group->name : QString();
}

QString UndoManager::redoActionName() const
{
    const Group *group = d->nextRedoGroup();
    return group ? group->name : QString();
}

QString UndoManager::undoMenuItemTitle() const
{
    const QString name = undoActionName();
    return name.isEmpty() ? tr("Undo") : tr("Undo %1").arg(name);
}

QString UndoManager::redoMenuItemTitle() const
{
    const QString name = redoActionName();
    return name.isEmpty() ? tr("Redo") : tr("Redo %1").arg(name);
}

bool UndoManager::canUndo() const
{
    return d->nextUndoGroup() != nullptr;
}

bool UndoManager::canRedo() const
{
    return d->nextRedoGroup() != nullptr;
}

void UndoManager::undo()
{
    d->undoOrRedo("undo", d->undoStack, d->undoing, &UndoManager::stepUndone);
}

void UndoManager::redo()
{
    d->undoOrRedo("redo", d->redoStack, d->redoing, &UndoManager::stepRedone);
}

bool UndoManager::isUndoing() const
{
    return d->undoing;
}

bool UndoManager::isRedoing() const
{
    return d->redoing;
}

void UndoManager::beginUndoGrouping()
{
    if (d->level == 0 && !d->groupsByEvent) {
        d->openTopGroup(false);
    } else {
        if (d->level == 0)
            d->openTopGroup(true); // the pass's group encloses this one
        ++d->level;
    }
    d->notifyIfChanged();
}

void UndoManager::endUndoGrouping()
{
    if (d->level <= d->floor) {
        log(QStringLiteral("UndoManager: endUndoGrouping without beginUndoGrouping; ignored"));
        return;
    }
    --d->level;
    if (d->level == 0 && d->closeOpenGroup())
        Q_EMIT stepClosed();
    else if (d->level == 1 && d->autoGroup)
        d->scheduleEndOfPass();
    d->notifyIfChanged();
}

int UndoManager::groupingLevel() const
{
    return d->level;
}

void UndoManager::setGroupsByEvent(bool groupsByEvent)
{
    d->groupsByEvent = groupsByEvent;
    d->notifyIfChanged();
}

bool UndoManager::groupsByEvent() const
{
    return d->groupsByEvent;
}

void UndoManager::disableUndoRegistration()
{
    ++d->disableCount;
}

void UndoManager::enableUndoRegistration()
{
    if (d->disableCount == 0) {
        log(QStringLiteral("UndoManager: enableUndoRegistration without a disable; ignored"));
        return;
    }
    --d->disableCount;
}

bool UndoManager::isUndoRegistrationEnabled() const
{
    return d->disableCount == 0;
}

void UndoManager::removeAllActions()
{
    d->undoStack.clear();
    d->redoStack.clear();
    d->openGroup.actions.clear();
    d->running.clear();
    d->pendingName.reset();
    d->level = d->floor;
    d->autoGroup = false;
    d->notifyIfChanged();
}

void UndoManager::removeAllActions(Target target)
{
    const auto hasTarget = [target](const Action &action) { return action.target == target; };
    for (std::vector<Group> *stack : {&d->undoStack, &d->redoStack}) {
        for (Group &group : *stack)
            std::erase_if(group.actions, hasTarget);
        std::erase_if(*stack, [](const Group &group) { return group.actions.empty(); });
    }
    std::erase_if(d->openGroup.actions, hasTarget);
    std::erase_if(d->running, hasTarget);
    d->notifyIfChanged();
}

} // namespace lq
