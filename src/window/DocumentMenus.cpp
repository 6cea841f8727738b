#include "window/DocumentMenus.h"

#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "platform/ui/MainMenu.h"
#include "shared/MenuTitles.h"
#include "window/FindSlidesController.h"
#include "window/RecordingController.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>

#include <functional>

namespace {

using Button = MyDocument::TransportButton;

// One command of a note's window: what it does, and when it may.
struct Command
{
    const char *menu;
    const char *title;
    const char *objectName;
    QKeySequence shortcut;
    std::function<bool(MyDocument &)> validate;
    std::function<void(MyDocument &)> run;
    // The number the note finds the item by to retitle it (0: none).
    int tag = 0;
};

// The controller of the active window (a note's own window, or later a window it promoted).
RecordingController *activeController()
{
    return RecordingController::controllerOfWindow(QApplication::activeWindow());
}

MyDocument *activeNote()
{
    RecordingController *controller = activeController();
    return controller ? &controller->document() : nullptr;
}

Command press(const char *title, const char *objectName, Qt::Key key, Button button)
{
    return {QT_TRANSLATE_NOOP("DocumentMenus", "Recording"),
            title,
            objectName,
            QKeySequence(Qt::CTRL | Qt::ALT | key),
            [button](MyDocument &note) {
                const QAbstractButton *b = note.transportButton(button);
                return b && b->isEnabled();
            },
            [button](MyDocument &note) { note.pressButton(button); }};
}

QList<Command> commands()
{
    const auto always = [](MyDocument &) { return true; };
    // Neither recording nor playing.
    const auto idle = [](MyDocument &note) { return !note.recording && !note.playing; };
    const auto editable = [](MyDocument &note) { return note.editable(); };
    return {
        press(QT_TRANSLATE_NOOP("DocumentMenus", "Start Recording"), "pressRecordButton", Qt::Key_R,
              Button::Record),
        press(QT_TRANSLATE_NOOP("DocumentMenus", "Start Playback"), "pressPlayButton", Qt::Key_P,
              Button::Play),
        press(QT_TRANSLATE_NOOP("DocumentMenus", "Pause"), "pressPauseButton", Qt::Key_S,
              Button::Pause),
        press(QT_TRANSLATE_NOOP("DocumentMenus", "Back"), "pressBackButton", Qt::Key_B,
              Button::Back),
        press(QT_TRANSLATE_NOOP("DocumentMenus", "Rewind"), "pressRWButton", Qt::Key_Left,
              Button::Rewind),
        press(QT_TRANSLATE_NOOP("DocumentMenus", "Fast Forward"), "pressFFButton", Qt::Key_Right,
              Button::FastForward),
        {QT_TRANSLATE_NOOP("DocumentMenus", "File"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Import Audio/Video…"),
         "openImportMediaDialog",
         {},
         idle,
         [](MyDocument &note) { note.openImportMediaDialog(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "File"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Add Slides…"),
         "openAddSlidesDialog",
         {},
         always,
         [](MyDocument &note) { note.openAddSlidesDialog(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "File"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Share for the Web…"),
         "openExportWebDialog",
         {},
         [](MyDocument &note) { return note.shareable(); },
         [](MyDocument &note) { note.openExportWebDialog(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "File"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Remove Slides"),
         "removeSlides",
         {},
         [](MyDocument &note) { return note.recordingObject().hasSlides(); },
         [](MyDocument &note) { note.removeSlides(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "File"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Forget All Slide Changes"),
         "forgetAllSlideChanges",
         {},
         [](MyDocument &note) {
             const RecordingController *controller = activeController();
             return !note.playing && controller && !controller->slidesPath().isEmpty();
         },
         [](MyDocument &note) { note.forgetAllSlideChanges(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "File"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Export Text…"),
         "openExportTextDialog",
         {},
         always,
         [](MyDocument &note) { note.openExportTextDialog(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "File"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Export Slides…"),
         "openExportSlidesDialog",
         {},
         [](MyDocument &) {
             const RecordingController *controller = activeController();
             return controller && !controller->slidesPath().isEmpty();
         },
         [](MyDocument &note) { note.openExportSlidesDialog(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "File"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Export Audio/Video…"),
         "openExportMediaDialog",
         {},
         [idle](MyDocument &note) {
             return idle(note) &&
                    (note.recordingObject().hasAudio() || note.recordingObject().hasVideo());
         },
         [](MyDocument &note) { note.openExportMediaDialog(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "Recording"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Crop Recording at Playhead…"),
         "trimRecordingFromNow",
         {},
         [idle](MyDocument &note) { return idle(note) && note.recordingObject().length() > 0; },
         [](MyDocument &note) { note.trimRecordingFromNow(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "Edit"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Lock or Unlock Text During Playback"),
         "editLockClicked",
         {},
         always,
         [](MyDocument &note) { note.editLockClicked(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "Edit"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Link…"),
         "showLinkPanel",
         {},
         editable,
         [](MyDocument &note) { note.showLinkPanel(); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "Edit"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Quick List"), "toggleList",
         QKeySequence(Qt::CTRL | Qt::Key_L), editable,
         [](MyDocument &note) { note.toggleList(false); }, MyDocument::kQuickListTag},
        {QT_TRANSLATE_NOOP("DocumentMenus", "Edit"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Quick Numbered List"), "toggleNumberedList",
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_L), editable,
         [](MyDocument &note) { note.toggleList(true); }, MyDocument::kQuickNumberedListTag},
        {QT_TRANSLATE_NOOP("DocumentMenus", "Edit"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Highlight Selection"), "toggleHighlight",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H), editable,
         [](MyDocument &note) { note.toggleHighlight(); }, MyDocument::kHighlightTag},
        {QT_TRANSLATE_NOOP("DocumentMenus", "Edit"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Find in Slides…"),
         "findSlidesMenuItemSelected",
         {},
         [](MyDocument &note) { return note.recordingObject().hasSlides(); },
         [](MyDocument &note) { FindSlidesController::sharedController().showWindow(&note); }},
        {QT_TRANSLATE_NOOP("DocumentMenus", "View"),
         QT_TRANSLATE_NOOP("DocumentMenus", "Hide or Show Media Sidebar"),
         "collapseButtonPressed",
         {},
         always,
         [](MyDocument &note) { note.collapseButtonPressed(); }},
    };
}

QString translated(const char *text)
{
    return QCoreApplication::translate("DocumentMenus", text);
}

QMenu *menuTitled(lq::MainMenu &mainMenu, const QString &title)
{
    QMenu *menu = mainMenu.menuTitled(title);
    return menu ? menu : mainMenu.addMenu(title);
}

} // namespace

void installDocumentMenus(lq::MainMenu &mainMenu)
{
    for (const Command &command : commands()) {
        QMenu *menu = menuTitled(mainMenu, translated(command.menu));
        auto *action = new QAction(translated(command.title), menu);
        lq::MainMenu::addItem(*menu, action);
        action->setObjectName(QLatin1String(command.objectName));
        action->setShortcut(command.shortcut);
        if (command.tag)
            action->setProperty(kMenuItemTagProperty, command.tag);
        const auto validate = command.validate;
        const auto run = command.run;
        // Shown: each item says whether the active note can do it now.
        QObject::connect(menu, &QMenu::aboutToShow, action, [action, validate] {
            MyDocument *note = activeNote();
            action->setEnabled(note && validate(*note));
        });
        // Hidden: shortcuts reach the check below whatever the menu showed.
        QObject::connect(menu, &QMenu::aboutToHide, action, [action] { action->setEnabled(true); });
        // A shortcut fires without the menu, so the action checks again.
        QObject::connect(action, &QAction::triggered, action, [validate, run] {
            MyDocument *note = activeNote();
            if (note && validate(*note))
                run(*note);
        });
    }
}
