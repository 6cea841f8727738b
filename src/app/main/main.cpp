#include "app/AppDelegate.h"
#include "app/AppMenus.h"
#include "app/CrashLogWriter.h"
#include "app/CrashRecovery.h"
#include "app/InstanceForwarder.h"
#include "app/LQApplication.h"
#include "app/LaunchArguments.h"
#include "app/LoggingAlertPresenter.h"
#include "app/LumaDocumentController.h"
#include "document/ImportMediaDialogs.h"
#include "document/MyDocument.h"
#include "engines/avf/MediaEngineFactory.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/MainMenu.h"
#include "window/DocumentMenus.h"
#include "window/FindSlidesController.h"
#include "window/LQVideoViewFactory.h"
#include "window/RecordingController.h"

#include <QIcon>
#include <QMainWindow>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void makeNoteWindow(MyDocument &note)
{
    note.addWindowController(std::make_unique<RecordingController>(note));
}

} // namespace

int main(int argc, char *argv[])
{
    QString argumentError;
    const std::optional<LaunchRequest> request =
        parseLaunchArguments(argumentList(argc, argv), &argumentError);
    if (!request) {
        std::fprintf(stderr, "%s\n", qPrintable(argumentError));
        return 2;
    }
    // A copy that runs already takes the files, and this one ends.
    if (InstanceForwarder::send(*request))
        return 0;

    LQApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Luma Quill"));
    QApplication::setApplicationVersion(lq::Bundle::shortVersion());
    QApplication::setDesktopFileName(QStringLiteral("lumaquill"));
    crash_log::install(crash_log::folder());
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("lumaquill"), QIcon(QStringLiteral(":/lumaquill.svg"))));
    LoggingAlertPresenter loggedAlerts;
    if (qEnvironmentVariable("LUMAQUILL_ALERTS") == QLatin1String("log"))
        lq::AlertPresenter::setCurrent(&loggedAlerts);
    MediaEngineFactory engines;
    LQEngineFactory::setCurrent(&engines);
    LQVideoViewFactory videoViews;
    VideoViewFactory::setCurrent(&videoViews);
    ImportMediaDialogs importDialogs;
    MediaImportDialogFactory::setCurrent(&importDialogs);

    AppDelegate &delegate = AppDelegate::init();
    LumaDocumentController documents(&makeNoteWindow);
    app.setDocumentController(&documents);
    lq::MainMenu mainMenu;
    lq::MainMenu::setCurrent(&mainMenu);
    AppMenus menus(mainMenu, documents, &app);
    // The note commands join the "Edit", "View" and "Recording" menus before start-up adds its
    // own items.
    installDocumentMenus(mainMenu);
    // Find in Slides follows the active note, else the open note opened last.
    FindSlidesController::setSharedCurrentDocument([&documents]() -> MyDocument * {
        if (MyDocument *note = documents.currentNote(); note && !note->isClosed())
            return note;
        const std::vector<MyDocument *> notes = documents.notes();
        const auto open = std::find_if(notes.rbegin(), notes.rend(),
                                       [](const MyDocument *note) { return !note->isClosed(); });
        return open == notes.rend() ? nullptr : *open;
    });

    const auto end = [&](int status) {
        app.setDocumentController(nullptr);
        lq::MainMenu::setCurrent(nullptr);
        AppDelegate::destroy();
        if (&lq::AlertPresenter::current() == &loggedAlerts)
            lq::AlertPresenter::setCurrent(nullptr);
        return status;
    };
    if (!delegate.awakeFromNib())
        return end(1);

    InstanceForwarder forwarder;
    forwarder.listen();
    QObject::connect(&forwarder, &InstanceForwarder::requestReceived, &documents,
                     [&documents](const LaunchRequest &received) {
                         for (const QString &file : received.files)
                             lq::log(QStringLiteral("Opening %1 from another launch.\n").arg(file));
                         if (!received.files.isEmpty())
                             documents.openFiles(received.files, received.searchText);
                         else if (MyDocument *note = documents.notes().empty()
                                                         ? nullptr
                                                         : documents.notes().back())
                             documents.showDocument(note);
                     });
    QObject::connect(
        &documents, &LumaDocumentController::lastNoteClosed, &app, [&app] { app.terminate(); },
        Qt::QueuedConnection);
    app.handleTerminationSignals();

    crash_recovery::offerWhatWasLeft(documents);
    documents.openFiles(request->files, request->searchText);
    if (documents.documents().empty() && !documents.openUntitledDocumentAndDisplay(true))
        return end(1); // the note has told the user why
    const int status = app.exec();
    return end(status);
}
