#include "platform/foundation/UndoManager.h"

#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

using lq::UndoManager;

// A list whose edits register their inverses, as document code does.
class ListModel
{
public:
    explicit ListModel(UndoManager &undo) : m_undo(undo) {}

    void insert(qsizetype index, const QString &item)
    {
        items.insert(index, item);
        m_undo.registerUndo(this, [this, index] { remove(index); });
    }

    void remove(qsizetype index)
    {
        const QString item = items.takeAt(index);
        m_undo.registerUndo(this, [this, index, item] { insert(index, item); });
    }

    void append(const QString &item) { insert(items.size(), item); }

    QStringList items;

private:
    UndoManager &m_undo;
};

void finishEventLoopPass()
{
    QCoreApplication::processEvents();
}

class UndoManagerTest : public testing::Test
{
protected:
    // One named undo step made of explicit grouping, as a menu command would make it.
    void edit(const QString &name, const std::function<void()> &change)
    {
        undo.beginUndoGrouping();
        change();
        undo.setActionName(name);
        undo.endUndoGrouping();
    }

    UndoManager undo;
    ListModel list{undo};
};

TEST_F(UndoManagerTest, UndoRedoWalkKeepsModelAndStacksInStep)
{
    undo.setGroupsByEvent(false);
    struct Step
    {
        const char *what;
        std::function<void()> act;
        QStringList items;
        QString undoName; // empty: nothing to undo
        QString redoName; // empty: nothing to redo
    };
    const QString typeA = QStringLiteral("Typing A");
    const QString typeBC = QStringLiteral("Typing BC");
    const QString deleteA = QStringLiteral("Delete A");
    const Step steps[] = {
        {"type a", [&] { edit(typeA, [&] { list.append("a"); }); }, {"a"}, typeA, {}},
        {"type b c",
         [&] {
             edit(typeBC, [&] {
                 list.append("b");
                 list.append("c");
             });
         },
         {"a", "b", "c"},
         typeBC,
         {}},
        {"undo b c", [&] { undo.undo(); }, {"a"}, typeA, typeBC},
        {"undo a", [&] { undo.undo(); }, {}, {}, typeA},
        {"undo with nothing left", [&] { undo.undo(); }, {}, {}, typeA},
        {"redo a", [&] { undo.redo(); }, {"a"}, typeA, typeBC},
        {"redo b c", [&] { undo.redo(); }, {"a", "b", "c"}, typeBC, {}},
        {"redo with nothing left", [&] { undo.redo(); }, {"a", "b", "c"}, typeBC, {}},
        {"undo b c again", [&] { undo.undo(); }, {"a"}, typeA, typeBC},
        {"new edit clears redo", [&] { edit(deleteA, [&] { list.remove(0); }); }, {}, deleteA, {}},
        {"undo delete", [&] { undo.undo(); }, {"a"}, typeA, deleteA},
        {"undo a again", [&] { undo.undo(); }, {}, {}, typeA},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(list.items, step.items);
        EXPECT_EQ(undo.canUndo(), !step.undoName.isEmpty());
        EXPECT_EQ(undo.canRedo(), !step.redoName.isEmpty());
        EXPECT_EQ(undo.undoActionName(), step.undoName);
        EXPECT_EQ(undo.redoActionName(), step.redoName);
        EXPECT_EQ(undo.groupingLevel(), 0);
    }
}

TEST_F(UndoManagerTest, GroupsByEventCloseAtTheEndOfEachPass)
{
    list.append("a");
    list.append("b");
    EXPECT_EQ(undo.groupingLevel(), 1);
    EXPECT_TRUE(undo.canUndo()); // undo() would close the open group first
    finishEventLoopPass();
    EXPECT_EQ(undo.groupingLevel(), 0);
    list.append("c");
    finishEventLoopPass();

    undo.undo();
    EXPECT_EQ(list.items, QStringList({"a", "b"}));
    undo.undo();
    EXPECT_TRUE(list.items.isEmpty());
    EXPECT_FALSE(undo.canUndo());

    // undo() in the same pass closes the group itself.
    list.append("x");
    undo.undo();
    EXPECT_TRUE(list.items.isEmpty());
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.redo();
    EXPECT_EQ(list.items, QStringList({"x"}));
}

TEST_F(UndoManagerTest, NestedGroupsBecomePartOfTheEnclosingGroup)
{
    undo.beginUndoGrouping();
    list.append("a");
    undo.beginUndoGrouping();
    list.append("b");
    undo.endUndoGrouping();
    list.append("c");
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_TRUE(list.items.isEmpty());
    EXPECT_FALSE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(list.items, QStringList({"a", "b", "c"}));

    // An explicit group still open at the end of a pass keeps the auto group open too.
    list.append("d");
    undo.beginUndoGrouping();
    finishEventLoopPass();
    EXPECT_EQ(undo.groupingLevel(), 2);
    EXPECT_FALSE(undo.canUndo());
    list.append("e");
    undo.endUndoGrouping();
    finishEventLoopPass();
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.undo();
    EXPECT_EQ(list.items, QStringList({"a", "b", "c"}));
}

TEST_F(UndoManagerTest, RegistrationsWhileUndoingFormTheRedoGroup)
{
    std::vector<std::pair<bool, bool>> seen; // isUndoing, isRedoing inside the actions
    std::function<void()> flip = [&] {
        seen.emplace_back(undo.isUndoing(), undo.isRedoing());
        undo.registerUndo(this, flip);
    };
    undo.registerUndo(this, flip);
    undo.setActionName("Flip");
    undo.undo();
    EXPECT_TRUE(undo.canRedo());
    EXPECT_EQ(undo.redoActionName(), "Flip");
    undo.redo();
    EXPECT_TRUE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "Flip");
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{true, false}, {false, true}}));
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_FALSE(undo.isRedoing());
}

TEST_F(UndoManagerTest, ActionNamesAndMenuTitles)
{
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo");
    EXPECT_EQ(undo.redoMenuItemTitle(), "Redo");

    list.append("a");
    undo.setActionName("Typing");
    finishEventLoopPass();
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo Typing");

    // Renaming during undo names the redo group.
    undo.registerUndo(this, [&] {
        undo.registerUndo(this, [] {});
        undo.setActionName("Renamed");
    });
    undo.setActionName("Original");
    finishEventLoopPass();
    undo.undo();
    EXPECT_EQ(undo.redoMenuItemTitle(), "Redo Renamed");
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo Typing");

    // An empty group never becomes an entry, so it cannot take over the name.
    edit("Nothing", [] {});
    EXPECT_EQ(undo.undoActionName(), "Typing");
}

// The names of the steps on the undo stack, newest first, found by undoing them all.
QStringList undoNamesByUndoingAll(UndoManager &undo)
{
    QStringList names;
    while (undo.canUndo()) {
        names.append(undo.undoActionName());
        undo.undo();
    }
    return names;
}

TEST_F(UndoManagerTest, ANameSetBeforeRegisteringBelongsToTheStepThePassOpens)
{
    struct Case
    {
        const char *what;
        std::function<void()> passes; // each ends with finishEventLoopPass()
        QStringList names;            // newest first
    };
    const Case cases[] = {
        {"named before registering",
         [&] {
             list.append("a");
             undo.setActionName("Typing");
             finishEventLoopPass();
             undo.setActionName("Crop");
             list.append("b");
             finishEventLoopPass();
         },
         {"Crop", "Typing"}},
        {"named in a pass that registers nothing",
         [&] {
             list.append("a");
             undo.setActionName("Typing");
             finishEventLoopPass();
             undo.setActionName("Change Slide");
             finishEventLoopPass();
             list.append("b");
             finishEventLoopPass();
         },
         {"", "Typing"}},
        {"renamed after registering",
         [&] {
             undo.setActionName("First");
             list.append("a");
             undo.setActionName("Second");
             finishEventLoopPass();
         },
         {"Second"}},
        {"named before an explicit group",
         [&] {
             undo.setGroupsByEvent(false);
             undo.setActionName("Crop");
             undo.beginUndoGrouping();
             list.append("a");
             undo.endUndoGrouping();
             finishEventLoopPass();
             undo.beginUndoGrouping();
             list.append("b");
             undo.endUndoGrouping();
         },
         {"", "Crop"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        undo.removeAllActions();
        undo.setGroupsByEvent(true);
        c.passes();
        EXPECT_EQ(undoNamesByUndoingAll(undo), c.names);
        EXPECT_TRUE(list.items.isEmpty());
    }
}

TEST_F(UndoManagerTest, DisablingRegistrationNests)
{
    undo.disableUndoRegistration();
    undo.disableUndoRegistration();
    list.append("a");
    undo.enableUndoRegistration();
    EXPECT_FALSE(undo.isUndoRegistrationEnabled());
    list.append("b");
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.groupingLevel(), 0); // dropped registrations open no group
    undo.enableUndoRegistration();
    EXPECT_TRUE(undo.isUndoRegistrationEnabled());

    lq::test::LogCapture log;
    undo.enableUndoRegistration(); // unmatched: ignored, so one disable still disables
    EXPECT_TRUE(log.contains("enableUndoRegistration"));
    undo.disableUndoRegistration();
    EXPECT_FALSE(undo.isUndoRegistrationEnabled());
}

TEST_F(UndoManagerTest, RemoveAllActionsWithTargetKeepsTheOthersAndWithoutClearsAll)
{
    ListModel other(undo);
    undo.setGroupsByEvent(false);
    edit("1", [&] { list.append("a"); });
    edit("2", [&] {
        list.append("b");
        other.append("x");
    });
    edit("3", [&] { other.append("y"); });
    edit("4", [&] { other.append("z"); });
    undo.undo(); // "4" goes to redo
    undo.removeAllActions(&other);
    EXPECT_EQ(undo.undoActionName(), "2");
    EXPECT_FALSE(undo.canRedo());
    undo.undo();
    EXPECT_EQ(list.items, QStringList({"a"}));
    EXPECT_EQ(other.items, QStringList({"x", "y"}));
    undo.undo();
    EXPECT_TRUE(list.items.isEmpty());
    EXPECT_FALSE(undo.canUndo());

    // Without a target: both stacks and any open group go.
    edit("5", [&] { list.append("c"); });
    edit("6", [&] { list.append("d"); });
    undo.undo();
    undo.beginUndoGrouping();
    list.append("e");
    undo.removeAllActions();
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
}

TEST_F(UndoManagerTest, RemovingActionsDuringUndoSkipsThePendingOnesOfTheGroup)
{
    ListModel other(undo);
    const std::pair<const char *, std::function<void()>> removals[] = {
        {"the other target's", [&] { undo.removeAllActions(&other); }},
        {"all", [&] { undo.removeAllActions(); }},
    };
    for (const auto &[what, removal] : removals) {
        SCOPED_TRACE(what);
        other.items.clear();
        edit("Both", [&] {
            other.append("x");
            undo.registerUndo(&list, removal);
        });
        undo.undo();
        EXPECT_EQ(other.items, QStringList({"x"}));
        EXPECT_FALSE(undo.canUndo());
        EXPECT_FALSE(undo.canRedo());
    }
}

TEST_F(UndoManagerTest, ACommandInOnePassIsOneStep)
{
    struct Case
    {
        const char *what;
        bool groupsByEvent;
        std::function<void()> passes;
        int steps;
    };
    const auto explicitGroup = [&](const QString &item) {
        undo.beginUndoGrouping();
        list.append(item);
        undo.endUndoGrouping();
    };
    const Case cases[] = {
        {"explicit group, then a registration", true,
         [&] {
             explicitGroup("a");
             list.append("b");
             finishEventLoopPass();
         },
         1},
        {"two explicit groups", true,
         [&] {
             explicitGroup("a");
             explicitGroup("b");
             finishEventLoopPass();
         },
         1},
        {"explicit groups in two passes", true,
         [&] {
             explicitGroup("a");
             finishEventLoopPass();
             explicitGroup("b");
             finishEventLoopPass();
         },
         2},
        {"explicit groups without grouping by event", false,
         [&] {
             explicitGroup("a");
             explicitGroup("b");
         },
         2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        undo.removeAllActions();
        undo.setGroupsByEvent(c.groupsByEvent);
        c.passes();
        EXPECT_EQ(undoNamesByUndoingAll(undo).size(), c.steps);
        EXPECT_TRUE(list.items.isEmpty());
    }

    // The pass's own group encloses the explicit one.
    undo.setGroupsByEvent(true);
    undo.beginUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 2);
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 1);
    finishEventLoopPass();
    EXPECT_EQ(undo.groupingLevel(), 0);
}

TEST_F(UndoManagerTest, RegistrationOffTheMainThreadIsRefused)
{
    lq::test::LogCapture log;
    std::thread([&] { undo.registerUndo(this, [] {}); }).join();
    EXPECT_TRUE(log.contains("Program error"));
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.groupingLevel(), 0);
}

TEST_F(UndoManagerTest, MisuseIsLoggedAndIgnored)
{
    lq::test::LogCapture log;
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_TRUE(log.contains("endUndoGrouping"));

    edit("1", [&] { list.append("a"); });
    finishEventLoopPass();
    undo.beginUndoGrouping();
    undo.beginUndoGrouping();
    log.clear();
    undo.undo(); // two levels open: not an auto group to close
    EXPECT_EQ(list.items, QStringList({"a"}));
    EXPECT_TRUE(log.contains("open undo group"));
    undo.endUndoGrouping();
    undo.endUndoGrouping();

    // An action that ends more groups than it began cannot close the redo group early.
    undo.registerUndo(this, [&] {
        undo.endUndoGrouping();
        undo.undo();
        list.append("b");
    });
    log.clear();
    undo.undo();
    EXPECT_TRUE(log.contains("endUndoGrouping"));
    EXPECT_TRUE(log.contains("while undoing"));
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.redo(); // removes "b" again
    EXPECT_EQ(list.items, QStringList({"a"}));

    undo.setGroupsByEvent(false);
    log.clear();
    list.append("c");
    EXPECT_TRUE(log.contains("outside any group"));
}

// Counts changes as a document does: a new step +1, an undone step -1, a redone step +1;
// saving makes the present count the clean one.
class ChangeCount
{
public:
    explicit ChangeCount(UndoManager &undo)
    {
        QObject::connect(&undo, &UndoManager::stepClosed, [this] { ++m_count; });
        QObject::connect(&undo, &UndoManager::stepUndone, [this] { --m_count; });
        QObject::connect(&undo, &UndoManager::stepRedone, [this] { ++m_count; });
    }

    void save() { m_clean = m_count; }
    int sinceSave() const { return m_count - m_clean; }

private:
    int m_count = 0;
    int m_clean = 0;
};

TEST_F(UndoManagerTest, StepNotificationsKeepADocumentsChangeCount)
{
    ChangeCount changes(undo);
    struct Step
    {
        const char *what;
        std::function<void()> act;
        int sinceSave;
    };
    const Step steps[] = {
        {"type a", [&] { list.append("a"); }, 0}, // the step closes with the pass
        {"end of the pass", [&] { finishEventLoopPass(); }, 1},
        {"save", [&] { changes.save(); }, 0},
        {"type b",
         [&] {
             list.append("b");
             finishEventLoopPass();
         },
         1},
        {"undo b", [&] { undo.undo(); }, 0},
        {"undo a", [&] { undo.undo(); }, -1},
        {"undo with nothing left", [&] { undo.undo(); }, -1},
        {"redo a", [&] { undo.redo(); }, 0},
        {"redo b", [&] { undo.redo(); }, 1},
        {"type c and undo it in one pass",
         [&] {
             list.append("c");
             undo.undo();
             finishEventLoopPass();
         },
         1},
        {"redo c", [&] { undo.redo(); }, 2},
        {"a pass that registers nothing",
         [&] {
             edit("Nothing", [] {});
             finishEventLoopPass();
         },
         2},
        {"a command of two groups and a registration",
         [&] {
             edit("Crop", [&] { list.append("d"); });
             edit("Crop", [&] { list.append("e"); });
             list.append("f");
             finishEventLoopPass();
         },
         3},
        {"an explicit group without grouping by event",
         [&] {
             undo.setGroupsByEvent(false);
             edit("Typing", [&] { list.append("g"); });
             undo.setGroupsByEvent(true);
         },
         4},
        {"undo the explicit group", [&] { undo.undo(); }, 3},
        {"undo the command", [&] { undo.undo(); }, 2},
        {"revert",
         [&] {
             undo.removeAllActions();
             changes.save();
         },
         0},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(changes.sinceSave(), step.sinceSave);
    }
    EXPECT_EQ(list.items, QStringList({"a", "b", "c"}));
}

TEST_F(UndoManagerTest, StateChangedOnlyWhenSomethingVisibleChanges)
{
    QSignalSpy spy(&undo, &UndoManager::stateChanged);
    list.append("a");
    EXPECT_EQ(spy.count(), 1);
    list.append("b"); // same open group: nothing visible changes
    EXPECT_EQ(spy.count(), 1);
    undo.setActionName("Typing");
    EXPECT_EQ(spy.count(), 2);
    finishEventLoopPass();
    EXPECT_EQ(spy.count(), 2);
    undo.undo(); // the redo group is filled while undoing, but one signal at the end
    EXPECT_EQ(spy.count(), 3);
}

} // namespace
