#pragma once

#include "app/LumaDocumentController.h"
#include "document/MyDocument.h"
#include "platform/text/TextRange.h"
#include "support/FakeDocumentWindow.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestUserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace lq::test {

// A document controller whose notes get fake windows, with scripted alerts and an empty store of
// user defaults.
class DocumentControllerTest : public ::testing::Test
{
protected:
    void TearDown() override { controller.reset(); }

    static FakeDocumentWindow &fakeWindow(const MyDocument &note)
    {
        return static_cast<FakeDocumentWindow &>(*note.windowController());
    }

    // A note saved at folder/name holding text.
    QString savedNote(const QString &name, const QString &text = QString()) const
    {
        const QString path = folder.filePath(name);
        const std::unique_ptr<MyDocument> note = MyDocument::create();
        note->textStorage().replaceCharacters(TextRange{0, 0}, text);
        EXPECT_TRUE(note->saveToUrl(path, SaveOperation::SaveAs, nullptr));
        return path;
    }

    // Opens path and answers the document (null when it failed).
    Document *open(const QString &path, const QString &search = QString(), Error *error = nullptr)
    {
        Document *opened = nullptr;
        controller->openDocument(
            path, true,
            [&](Document *document, bool, const Error &failure) {
                opened = document;
                if (error)
                    *error = failure;
            },
            search);
        return opened;
    }

    TestUserDefaults defaults;
    ScriptedAlertPresenter alerts;
    QTemporaryDir folder;
    std::unique_ptr<LumaDocumentController> controller =
        std::make_unique<LumaDocumentController>([](MyDocument &note) {
            note.addWindowController(std::make_unique<FakeDocumentWindow>(note.textStorage()));
        });
};

} // namespace lq::test
