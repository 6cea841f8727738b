#pragma once

// A note's window controller with fake engines, the note's commands logged, and a slides PDF
// made at run time.

#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/pdf/PdfTestFiles.h"
#include "platform/ui/MainMenu.h"
#include "preferences/PrefsController.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeNoteMediaCommands.h"
#include "support/FakeUpdater.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestUserDefaults.h"
#include "window/DocumentWindow.h"
#include "window/RecordingController.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <memory>

namespace lq::test {

class PanesTest : public testing::Test
{
protected:
    PanesTest()
    {
        // The font size's Smaller, whose shortcut the zoom items take; the controller adds the
        // View menu.
        QMenu *font = mainMenu.addMenu(QStringLiteral("Font"));
        font->addAction(QStringLiteral("Bigger"))
            ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus));
        smaller = font->addAction(QStringLiteral("Smaller"));
        smaller->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
        previousMenu = MainMenu::setCurrent(&mainMenu);
        preferences =
            std::make_unique<PrefsController>(PrefsController::Services{&devices, &updater});
        document = std::make_unique<MyDocument>();
        document->tempRecordingDir = temp.path();
        document->recordingObject().setTempDir(temp.path());
        controller = std::make_unique<RecordingController>(*document, *preferences);
        controller->windowControllerDidLoadNib();
        controller->setNoteCommands(&commands);
    }

    ~PanesTest() override
    {
        if (controller)
            controller->close();
        controller.reset();
        MainMenu::setCurrent(previousMenu);
        // No page is still being drawn when the application goes.
        QThreadPool::globalInstance()->waitForDone();
    }

    // The titles of the View menu's items.
    QStringList viewItems() const
    {
        QStringList titles;
        for (const QAction *item : mainMenu.menuTitled(QStringLiteral("View"))->actions())
            titles.append(item->text());
        return titles;
    }

    // A PDF of pages slides, each of its own width so that turns can be told apart.
    QString makeSlides(int pages, const QString &name = QStringLiteral("slides.pdf")) const
    {
        QList<QSize> sizes;
        QStringList texts;
        for (int page = 0; page < pages; ++page) {
            sizes.append(QSize(400 + page, 300));
            texts.append(QStringLiteral("Slide %1").arg(page + 1));
        }
        const QString path = temp.filePath(name);
        EXPECT_TRUE(writePdf(path, sizes, texts));
        return path;
    }

    // A file of any content at name in the test's folder.
    QString makeFile(const QString &name, const QByteArray &content = "x") const
    {
        const QString path = temp.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    DocumentWindow &window() const { return controller->window(); }

    MainMenu mainMenu;
    MainMenu *previousMenu = nullptr;
    QAction *smaller = nullptr;
    TestUserDefaults defaults;
    ScriptedAlertPresenter alerts;
    FakeCaptureDevices devices;
    FakeUpdater updater;
    FakeEngineFactory engines;
    FakeNoteMediaCommands commands;
    QTemporaryDir temp;
    std::unique_ptr<PrefsController> preferences;
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<RecordingController> controller;
};

} // namespace lq::test
