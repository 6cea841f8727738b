#include "AppTestSupport.h"
#include "app/AppMenus.h"
#include "platform/foundation/MainThread.h"
#include "platform/ui/MainMenu.h"
#include "support/SmallTmpfs.h"

#include <functional>

namespace lq::test {
namespace {

using namespace std::chrono_literals;

class SaveFailureTest : public DocumentControllerTest
{
protected:
    MainMenu mainMenu;
    AppMenus menus{mainMenu, *controller, nullptr};
};

// Every way a note is saved tells the cause of a failure after the saving step that failed.
TEST_F(SaveFailureTest, AFullDiskIsNamedAsTheCause)
{
    const struct
    {
        const char *name;
        std::function<void(MyDocument &)> save;
    } cases[] = {
        {"File > Save", [&](MyDocument &note) { menus.saveDocument(note); }},
        {"closing", [&](MyDocument &note) { controller->closeDocument(&note); }},
        {"closing with nobody to ask",
         [&](MyDocument &note) {
             controller->closeDocument(&note, LumaDocumentController::Asking::Nobody);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SmallTmpfs disk(64 * 1024);
        if (!disk.mounted())
            GTEST_SKIP() << disk.whyNot().toStdString();
        MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
        ASSERT_TRUE(note->saveToUrl(disk.path() + QStringLiteral("/Full.lumaquill"),
                                    SaveOperation::SaveAs, nullptr));
        note->replaceCharacters(TextRange{0, 0}, QString(64 * 1024, QLatin1Char('x')));
        ASSERT_TRUE(runEventLoopUntil([note] { return note->isDocumentEdited(); }, 1s));
        const int before = alerts.count();

        c.save(*note);

        ASSERT_EQ(alerts.count(), before + 1);
        const QString told = alerts.last().request.informativeText;
        EXPECT_TRUE(told.startsWith(QStringLiteral("Failed to create file ")) &&
                    told.endsWith(QStringLiteral("/text while saving. There isn't enough space.")))
            << told.toStdString();
        note->updateChangeCount(Document::ChangeKind::Cleared);
        ASSERT_TRUE(controller->closeDocument(note, LumaDocumentController::Asking::Nobody));
    }
}

} // namespace
} // namespace lq::test
