#include "PanesFixture.h"
#include "model/WrenRecording.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/ImageButton.h"
#include "support/FakeUiServices.h"
#include "window/PDFMiniView.h"
#include "window/SidebarSection.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QThread>

namespace {

using namespace Qt::StringLiterals;
using lq::test::PanesTest;

// What the pane shows: the slide, the total field, and which buttons are enabled.
struct Shown
{
    uint32_t slide;
    QString total;
    bool previous;
    bool next;
    int miniViewPage;

    bool operator==(const Shown &) const = default;
};

void PrintTo(const Shown &s, std::ostream *os)
{
    *os << s.slide << " \"" << s.total.toStdString() << "\" prev " << s.previous << " next "
        << s.next << " page " << s.miniViewPage;
}

class SlidesPaneTest : public PanesTest
{
protected:
    Shown shown() const
    {
        return {controller->slideNum(), window().totalSlidesField->text(),
                window().prevSlideButton->isEnabled(), window().nextSlideButton->isEnabled(),
                window().slidesPDFMiniView->currentPage()};
    }

    lq::UndoManager &undo() const { return *document->undoManager(); }

    // Closes the undo group of this event-loop pass, as the next pass would.
    void endPass() const
    {
        lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(5));
    }
};

TEST_F(SlidesPaneTest, TurnsShowTheSlideAndRefusedTurnsChangeNothing)
{
    controller->setSlidesPath(makeSlides(3));
    const struct
    {
        uint32_t asked;
        bool answer;
        Shown after;
    } steps[] = {
        {2, true, {2, u"Slide 2 of 3"_s, true, true, 1}},
        {2, false, {2, u"Slide 2 of 3"_s, true, true, 1}},
        {0, false, {2, u"Slide 2 of 3"_s, true, true, 1}},
        {4, false, {2, u"Slide 2 of 3"_s, true, true, 1}},
        {3, true, {3, u"Slide 3 of 3"_s, true, false, 2}},
        {1, true, {1, u"Slide 1 of 3"_s, false, true, 0}},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.asked);
        EXPECT_EQ(controller->showSlide(step.asked), step.answer);
        EXPECT_EQ(shown(), step.after);
    }
    EXPECT_FALSE(window().slidesPDFMiniView->isHidden());
    EXPECT_EQ(controller->slidesPDFView().currentPage(), 0);
}

TEST_F(SlidesPaneTest, TurnsUndoAndRedoAndRefusedTurnsLeaveNoStep)
{
    controller->setSlidesPath(makeSlides(3));
    for (const uint32_t slide : {1u, 2u, 3u}) {
        controller->showSlide(slide);
        endPass();
    }
    document->updateChangeCount(lq::Document::ChangeKind::Cleared);
    // Out of range, or already shown: no step, the note not edited.
    for (const uint32_t refused : {0u, 3u, 4u, 0xFFFFFFFFu}) {
        controller->showSlide(refused);
        endPass();
    }
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(undo().undoMenuItemTitle(), u"Undo Change Slide"_s);
    const struct
    {
        const char *step;
        bool isUndo;
        uint32_t slide;
    } steps[] = {{"undo", true, 2}, {"undo", true, 1}, {"redo", false, 2}, {"redo", false, 3}};
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        s.isUndo ? undo().undo() : undo().redo();
        endPass();
        EXPECT_EQ(controller->slideNum(), s.slide);
    }
    EXPECT_FALSE(undo().canRedo());
}

TEST_F(SlidesPaneTest, PlaybackTurnsCannotBeUndone)
{
    controller->setSlidesPath(makeSlides(3));
    controller->gotoSlide(2, false);
    endPass();
    EXPECT_EQ(controller->slideNum(), 2u);
    EXPECT_FALSE(undo().canUndo());
}

// Shows the alert and, while it is up, asks for another turn, as a timer firing in the alert's
// event loop would.
class ReenteringAlertPresenter : public lq::AlertPresenter
{
public:
    explicit ReenteringAlertPresenter(RecordingController &controller)
        : m_controller(controller), m_previous(AlertPresenter::setCurrent(this))
    {}
    ~ReenteringAlertPresenter() override { AlertPresenter::setCurrent(m_previous); }

    lq::AlertResponse runModal(const lq::AlertRequest &request) override
    {
        shown.append(request);
        m_controller.showSlide(3, false);
        return {};
    }
    void beginSheet(const lq::AlertRequest &, QWidget *,
                    std::function<void(const lq::AlertResponse &)>) override
    {}

    QList<lq::AlertRequest> shown;

private:
    RecordingController &m_controller;
    lq::AlertPresenter *m_previous;
};

TEST_F(SlidesPaneTest, UnreadableSlidesAlertOncePerAttemptAndNeverTwiceAtOnce)
{
    const struct
    {
        const char *name;
        QString path;
    } cases[] = {{"missing", temp.filePath(u"gone.pdf"_s)},
                 {"corrupt", makeFile(u"broken.pdf"_s, "%PDF-1.4 nothing else")}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ReenteringAlertPresenter presenter(*controller);
        controller->setSlidesPath(c.path);
        EXPECT_FALSE(controller->showSlide(2));
        EXPECT_FALSE(controller->showSlide(2));
        ASSERT_EQ(presenter.shown.size(), 2);
        EXPECT_EQ(presenter.shown[0].messageText, u"Error initializing slides."_s);
        EXPECT_EQ(presenter.shown[0].informativeText,
                  u"The slides are missing or corrupt. Please re-add the slides if you still have "
                  "the original."_s);
        EXPECT_EQ(presenter.shown[0].buttons, QStringList{u"OK"_s});
        EXPECT_EQ(controller->slideNum(), 0u);
        EXPECT_TRUE(window().totalSlidesField->isHidden());
    }
}

TEST_F(SlidesPaneTest, AddedFilesGoToSlidesOrMediaByKind)
{
    const QString pdf = makeSlides(2, u"talk.pdf"_s);
    const QString movie = makeFile(u"clip.mov"_s);
    const struct
    {
        const char *name;
        QString path;
        QStringList calls;
    } cases[] = {
        {"slides", pdf, {u"addSlides:"_s + pdf}},
        {"media", movie, {u"importMediaFromFile:"_s + movie}},
        {"text", makeFile(u"notes.txt"_s), {}},
        {"capital extension", makeFile(u"TALK.PDF"_s), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        commands.calls.clear();
        controller->addPath(c.path);
        EXPECT_EQ(commands.calls, c.calls);
    }
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(SlidesPaneTest, SlidesThatAreNoPdfAreRefusedWithHelp)
{
    lq::test::RecordingHelpBook help;
    const struct
    {
        const char *name;
        int button;
        QStringList pages;
    } cases[] = {{"OK", 0, {}}, {"Help", 1, {u"recordingslides.html"_s}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        help.pages.clear();
        alerts.addResponse(c.button);
        controller->addSlides(makeFile(u"talk.key"_s));
        EXPECT_EQ(alerts.last().request.messageText,
                  u"I'm sorry, but Luma Quill can only import PDF slides."_s);
        EXPECT_EQ(alerts.last().request.informativeText,
                  u"For information on importing slides that are not already in the PDF "
                  "format, click Help below."_s);
        EXPECT_EQ(alerts.last().request.buttons, (QStringList{u"OK"_s, u"Help"_s}));
        EXPECT_EQ(help.pages, c.pages);
        EXPECT_TRUE(commands.calls.isEmpty());
    }
}

TEST_F(SlidesPaneTest, UserTurnsTellTheNoteOnceAndBadNumbersAreRefused)
{
    controller->setSlidesPath(makeSlides(5));
    controller->showSlide(1);
    window().show();
    const auto typeInField = [this](const QString &text) {
        window().slideNumField->setText(text);
        QTest::keyClick(window().slideNumField, Qt::Key_Return);
    };
    const struct
    {
        const char *name;
        std::function<void()> act;
        uint32_t slide;
        QStringList calls;
    } cases[] = {
        {"next button",
         [this] { QTest::mouseClick(window().nextSlideButton, Qt::LeftButton); },
         2,
         {u"gotoSlide:2"_s}},
        {"previous button",
         [this] { QTest::mouseClick(window().prevSlideButton, Qt::LeftButton); },
         1,
         {u"gotoSlide:1"_s}},
        {"previous at the first slide", [this] { controller->prevSlideButtonPressed(); }, 1, {}},
        {"field", [&] { typeInField(u"4"_s); }, 4, {u"gotoSlide:4"_s}},
        {"field, same slide", [&] { typeInField(u"4"_s); }, 4, {}},
        {"field, negative", [&] { typeInField(u"-3"_s); }, 4, {}},
        {"field, zero", [&] { typeInField(u"0"_s); }, 4, {}},
        {"field, beyond the last", [&] { typeInField(u"6"_s); }, 4, {}},
        {"field, not a number", [&] { typeInField(u"five"_s); }, 4, {}},
        {"paging the mini view",
         [this] {
             window().slidesPDFMiniView->setFocus();
             QTest::keyClick(window().slidesPDFMiniView, Qt::Key_PageDown);
         },
         5,
         {u"gotoSlide:5"_s}},
        {"paging the slides window's view",
         [this] { QTest::keyClick(&controller->slidesPDFView(), Qt::Key_PageUp); },
         4,
         {u"gotoSlide:4"_s}},
        {"turn from playback", [this] { controller->gotoSlide(2, false); }, 2, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        commands.calls.clear();
        c.act();
        EXPECT_EQ(controller->slideNum(), c.slide);
        EXPECT_EQ(commands.calls, c.calls);
        EXPECT_TRUE(window().slideNumField->text().isEmpty());
    }
}

TEST_F(SlidesPaneTest, RemovingTheSlidesEmptiesThePane)
{
    controller->setSlidesPath(makeSlides(3));
    controller->showSlide(2);
    window().slideNumField->setText(u"3"_s);
    controller->removeSlidesFile();
    EXPECT_EQ(controller->slideNum(), 0u);
    EXPECT_TRUE(controller->slidesPath().isEmpty());
    EXPECT_TRUE(window().slideNumField->text().isEmpty());
    EXPECT_TRUE(window().totalSlidesField->isHidden());
    EXPECT_FALSE(window().prevSlideButton->isEnabled());
    EXPECT_FALSE(window().nextSlideButton->isEnabled());
    EXPECT_TRUE(window().slidesPDFMiniView->isHidden());
    EXPECT_EQ(window().slidesPDFMiniView->document(), nullptr);
    EXPECT_EQ(controller->slidesPDFView().document(), nullptr);
    EXPECT_FALSE(controller->showSlide(1));
}

TEST_F(SlidesPaneTest, TurnsAskedFromAnotherThreadAreMadeOnTheGuiThread)
{
    controller->setSlidesPath(makeSlides(3));
    std::unique_ptr<QThread> player(QThread::create([this] { controller->gotoSlide(3, false); }));
    player->start();
    player->wait();
    EXPECT_EQ(controller->slideNum(), 0u);
    EXPECT_TRUE(lq::runEventLoopUntil([this] { return controller->slideNum() == 3; },
                                      std::chrono::seconds(5)));
}

TEST_F(SlidesPaneTest, TickingABoxOpensItsSectionUnlessTheDefaultSaysNo)
{
    const struct
    {
        const char *name;
        std::optional<bool> autoExpand;
        bool opens;
    } cases[] = {{"absent", std::nullopt, true}, {"YES", true, true}, {"NO", false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->setObject(u"autoExpandVideo"_s, QVariant());
        if (c.autoExpand)
            defaults->setBool(u"autoExpandVideo"_s, *c.autoExpand);
        window().videoSectionView->setExpanded(false);
        controller->setVideoState(1);
        EXPECT_EQ(window().videoSectionView->expanded(), c.opens);
        controller->setVideoState(0);
    }
}

} // namespace
