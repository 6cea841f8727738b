#include "AppTestSupport.h"
#include "app/AppMenus.h"
#include "platform/foundation/MainThread.h"
#include "platform/ui/MainMenu.h"
#include "support/SmallTmpfs.h"

#include <functional>

namespace lq::test {
namespace {

using namespace std::chrono_literals;
using Asking = LumaDocumentController::Asking;

// Each way a note is saved tells, after the step that failed, the cause in words.
TEST_F(DocumentControllerTest, AFullDiskIsToldAsTheCauseOfAFailedSave)
{
    MainMenu mainMenu;
    AppMenus menus(mainMenu, *controller, nullptr);
    const std::function<void(MyDocument *)> saves[] = {
        [&](MyDocument *note) { menus.saveDocument(*note); },
        [&](MyDocument *note) { controller->closeDocument(note); },
        [&](MyDocument *note) { controller->closeDocument(note, Asking::Nobody); },
    };
    for (const auto &save : saves) {
        SmallTmpfs disk(64 * 1024);
        if (!disk.mounted())
            GTEST_SKIP() << disk.whyNot().toStdString();
        MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
        ASSERT_TRUE(note->saveToUrl(disk.path() + QStringLiteral("/Full.lumaquill"),
                                    SaveOperation::SaveAs, nullptr));
        note->replaceCharacters(TextRange{0, 0}, QString(64 * 1024, QLatin1Char('x')));
        ASSERT_TRUE(runEventLoopUntil([note] { return note->isDocumentEdited(); }, 1s));
        const int before = alerts.count();
        save(note);
        ASSERT_TRUE(runEventLoopUntil([&] { return alerts.count() > before; }, 10s));
        ASSERT_EQ(alerts.count(), before + 1);
        const QString told = alerts.last().request.informativeText;
        EXPECT_TRUE(told.startsWith(QStringLiteral("Failed to create file ")) &&
                    told.endsWith(QStringLiteral("/text while saving. There isn't enough space.")))
            << told.toStdString();
        note->updateChangeCount(Document::ChangeKind::Cleared);
        ASSERT_TRUE(controller->closeDocument(note, Asking::Nobody));
    }
}

} // namespace
} // namespace lq::test
