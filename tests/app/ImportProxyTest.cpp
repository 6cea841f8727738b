#include "app/ImportProxy.h"

#include "AppTestSupport.h"
#include "platform/foundation/MainThread.h"
#include "platform/pdf/PdfTestFiles.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QLabel>

namespace lq::test {
namespace {

using namespace std::chrono_literals;

class ImportProxyTest : public DocumentControllerTest
{
protected:
    void SetUp() override
    {
        slides = folder.filePath(QStringLiteral("slides.pdf"));
        ASSERT_TRUE(writePdf(slides, {QSize(200, 100)}));
    }

    ImportProxy *openSlides()
    {
        auto *proxy = qobject_cast<ImportProxy *>(open(slides));
        EXPECT_NE(proxy, nullptr);
        return proxy;
    }

    bool proxyGone() const
    {
        const std::vector<Document *> documents = controller->documents();
        return std::none_of(documents.begin(), documents.end(), [](Document *document) {
            return qobject_cast<ImportProxy *>(document) != nullptr;
        });
    }

    void waitUntilProxyGone() const
    {
        runEventLoopUntil([this] { return proxyGone(); }, 2000ms);
        EXPECT_TRUE(proxyGone());
    }

    QStringList importsOf(const MyDocument &note) const
    {
        return fakeWindow(note).calls.filter(QStringLiteral("addPath:"));
    }

public:
    void closeAllNotes()
    {
        for (MyDocument *note : controller->notes())
            controller->closeDocument(note);
    }

    QString slides;
};

TEST_F(ImportProxyTest, WithNoNoteOpenANewNoteTakesTheFileAndNoQuestionIsShown)
{
    ImportProxy *proxy = openSlides();
    ASSERT_NE(proxy, nullptr);
    EXPECT_TRUE(proxy->importWindow() == nullptr || !proxy->importWindow()->isVisible());
    ASSERT_EQ(controller->notes().size(), 1u);
    EXPECT_EQ(importsOf(*controller->notes().front()),
              QStringList{QStringLiteral("addPath:") + slides});
    EXPECT_FALSE(proxyGone()) << "closed on the next pass, not at once";
    waitUntilProxyGone();
}

TEST_F(ImportProxyTest, TheQuestionListsTheNotesAndRemembersTheChoice)
{
    const QString saved = savedNote(QStringLiteral("Lecture.lumaquill"));
    MyDocument *lecture = qobject_cast<MyDocument *>(open(saved));
    controller->openUntitledDocumentAndDisplay(true);
    ASSERT_EQ(controller->notes().size(), 2u);

    ImportProxy *first = openSlides();
    ASSERT_TRUE(first->importWindow()->isVisible());
    EXPECT_EQ(first->importWindow()->windowTitle(), QStringLiteral("Importing slides.pdf"));
    EXPECT_TRUE(first->questionTextField()->text().endsWith(QStringLiteral("slides.pdf?")));
    QStringList names;
    for (int i = 0; i < first->documentButton()->count(); ++i)
        names.append(first->documentButton()->itemText(i));
    EXPECT_EQ(names, (QStringList{QStringLiteral("Lecture"), QStringLiteral("Untitled")}));
    EXPECT_EQ(first->choice()->checkedId(), ImportProxy::kOpenNote);
    EXPECT_FALSE(defaults->contains(QLatin1String(ImportProxy::kImportTypeKey)));

    first->choice()->button(ImportProxy::kNewNote)->click();
    EXPECT_FALSE(first->documentButton()->isEnabled());
    EXPECT_EQ(defaults->object(QLatin1String(ImportProxy::kImportTypeKey)), QVariant(0));
    first->okClicked();
    ASSERT_EQ(controller->notes().size(), 3u);
    EXPECT_EQ(importsOf(*controller->notes().back()).size(), 1);
    EXPECT_TRUE(importsOf(*lecture).isEmpty());
    waitUntilProxyGone();

    ImportProxy *second = openSlides();
    EXPECT_EQ(second->choice()->checkedId(), ImportProxy::kNewNote);
    EXPECT_FALSE(second->documentButton()->isEnabled());
    second->choice()->button(ImportProxy::kOpenNote)->click();
    second->documentButton()->setCurrentText(QStringLiteral("Lecture"));
    second->okClicked();
    EXPECT_EQ(defaults->object(QLatin1String(ImportProxy::kImportTypeKey)), QVariant(1));
    EXPECT_EQ(importsOf(*lecture), QStringList{QStringLiteral("addPath:") + slides});
    waitUntilProxyGone();
}

TEST_F(ImportProxyTest, TheAnswerDecidesWhoGetsTheFile)
{
    const struct
    {
        const char *name;
        std::function<void(ImportProxyTest &, ImportProxy &)> answer;
        QList<int> importsPerNote; // the two untitled notes
        int alerts;
    } cases[] = {
        {"two notes of one name: the first",
         [](auto &, ImportProxy &proxy) { proxy.okClicked(); },
         {1, 0},
         0},
        {"two notes of one name: the second",
         [](auto &, ImportProxy &proxy) {
             proxy.documentButton()->setCurrentIndex(1);
             proxy.okClicked();
         },
         {0, 1},
         0},
        {"cancel", [](auto &, ImportProxy &proxy) { proxy.cancelClicked(); }, {0, 0}, 0},
        {"window closed",
         [](auto &, ImportProxy &proxy) { proxy.importWindow()->reject(); },
         {0, 0},
         0},
        {"chosen note closed meanwhile",
         [](ImportProxyTest &test, ImportProxy &proxy) {
             test.closeAllNotes();
             proxy.okClicked();
         },
         {},
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        controller = std::make_unique<LumaDocumentController>([](MyDocument &note) {
            note.addWindowController(std::make_unique<FakeDocumentWindow>(note.textStorage()));
        });
        controller->openUntitledDocumentAndDisplay(true);
        controller->openUntitledDocumentAndDisplay(true);
        const int alertsBefore = alerts.count();
        ImportProxy *proxy = openSlides();
        ASSERT_TRUE(proxy->importWindow()->isVisible());
        c.answer(*this, *proxy);
        waitUntilProxyGone();
        QList<int> imports;
        for (MyDocument *note : controller->notes())
            imports.append(importsOf(*note).size());
        EXPECT_EQ(imports, c.importsPerNote);
        ASSERT_EQ(alerts.count(), alertsBefore + c.alerts);
        if (c.alerts) {
            EXPECT_EQ(alerts.last().request.messageText, QStringLiteral("Error"));
            EXPECT_EQ(alerts.last().request.informativeText,
                      QStringLiteral("The document Untitled is no longer open"));
        }
    }
}

} // namespace
} // namespace lq::test
