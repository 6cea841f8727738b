#include "window/SidebarSection.h"

#include "PanesFixture.h"
#include "window/PDFMiniView.h"

#include <QMimeData>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>
#include <QUrl>

namespace {

using namespace Qt::StringLiterals;

// A section with content of a known height, shown at its own size.
struct ShownSection
{
    ShownSection()
    {
        content->setFixedWidth(200);
        content->setMinimumHeight(80);
        section.resize(220, 120);
        section.show();
    }

    QWidget *content = new QWidget;
    SidebarSection section{u"Video"_s, content};
};

TEST(SidebarSectionTest, CollapsesToNoHeightAndOpensToItsOwnAtOnceOrSliding)
{
    const struct
    {
        const char *name;
        bool instant;
    } cases[] = {{"instant", true}, {"animated", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ShownSection shown;
        SidebarSection &section = shown.section;
        section.setExpanded(false, c.instant);
        section.setExpanded(false, c.instant);
        if (!c.instant) {
            // Half-way the content is still partly there.
            QTest::qWait(SidebarSection::kAnimationMilliseconds / 4);
            EXPECT_GT(shown.content->maximumHeight(), 0);
        }
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return shown.content->isHidden(); },
                                          std::chrono::seconds(2)));
        EXPECT_EQ(shown.content->maximumHeight(), 0);
        EXPECT_FALSE(section.expanded());
        EXPECT_FALSE(section.disclosureButton()->isChecked());

        section.setExpanded(true, c.instant);
        EXPECT_TRUE(
            lq::runEventLoopUntil([&] { return shown.content->maximumHeight() == QWIDGETSIZE_MAX; },
                                  std::chrono::seconds(2)));
        EXPECT_TRUE(shown.content->isVisible());
        EXPECT_TRUE(section.expanded());
        EXPECT_TRUE(section.disclosureButton()->isChecked());
    }
}

class SectionDropTest : public lq::test::PanesTest
{
protected:
    // Sends a drag offering actions with the files, then drops it when it was accepted.
    // Answers whether the drag was accepted and whether the drop was.
    std::pair<bool, bool> drop(QWidget *target, const QStringList &files, Qt::DropActions actions)
    {
        QList<QUrl> urls;
        for (const QString &file : files)
            urls.append(QUrl::fromLocalFile(file));
        return drop(target, urls, actions);
    }

    std::pair<bool, bool> drop(QWidget *target, const QList<QUrl> &urls, Qt::DropActions actions)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return {false, false};
        QDropEvent dropped(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        return {true, dropped.isAccepted()};
    }
};

TEST_F(SectionDropTest, OneSlidesOrMediaFileIsAddedAndOtherDropsAreNot)
{
    const QString pdf = makeSlides(1);
    const QString movie = makeFile(u"clip.mp4"_s);
    const QString text = makeFile(u"notes.txt"_s);
    const struct
    {
        const char *name;
        QStringList files;
        Qt::DropActions actions;
        bool entered;
        bool accepted;
        QStringList calls;
        QString alert;
    } cases[] = {
        {"slides", {pdf}, Qt::CopyAction, true, true, {u"addSlides:"_s + pdf}, {}},
        {"media",
         {movie},
         Qt::CopyAction | Qt::MoveAction,
         true,
         true,
         {u"importMediaFromFile:"_s + movie},
         {}},
        {"text", {text}, Qt::CopyAction, true, false, {}, {}},
        {"two files",
         {pdf, movie},
         Qt::CopyAction,
         true,
         false,
         {},
         u"Error - Luma Quill can only accept 1 slides or media file, but received 2 files"_s},
        {"move or link only", {pdf}, Qt::MoveAction | Qt::LinkAction, false, false, {}, {}},
    };
    // The slides section and the slide shown in it take drops alike.
    for (QWidget *target : {static_cast<QWidget *>(window().slidesSectionView),
                            static_cast<QWidget *>(window().slidesPDFMiniView)}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(target->metaObject()->className());
            EXPECT_TRUE(target->acceptDrops());
            commands.calls.clear();
            const int alertsBefore = alerts.count();
            const auto [entered, accepted] = drop(target, c.files, c.actions);
            EXPECT_EQ(entered, c.entered);
            EXPECT_EQ(accepted, c.accepted);
            EXPECT_EQ(commands.calls, c.calls);
            EXPECT_EQ(alerts.count(), alertsBefore + (c.alert.isEmpty() ? 0 : 1));
            if (!c.alert.isEmpty()) {
                EXPECT_EQ(alerts.last().request.messageText, c.alert);
            }
        }
    }
}

TEST_F(SectionDropTest, ADropOfNoFilesSaysSo)
{
    const auto [entered, accepted] =
        drop(window().slidesSectionView, QList<QUrl>{QUrl(u"https://example.org/talk.pdf"_s)},
             Qt::CopyAction);
    EXPECT_TRUE(entered);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(alerts.last().request.messageText, u"Error - no files found"_s);
    EXPECT_TRUE(commands.calls.isEmpty());
}

TEST_F(SectionDropTest, SectionsStayAtTheTopOfTheSidebarOpenOrShut)
{
    window().show();
    const QList<SidebarSection *> sections{window().audioSectionView, window().videoSectionView,
                                           window().slidesSectionView};
    for (const bool expanded : {false, true}) {
        SCOPED_TRACE(expanded);
        for (SidebarSection *section : sections)
            section->setExpanded(expanded);
        lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(20));
        // Each section starts where the one above it ends; the space left is below them.
        for (qsizetype i = 1; i < sections.size(); ++i)
            EXPECT_EQ(sections[i]->geometry().top(), sections[i - 1]->geometry().bottom() + 1);
        const QWidget *inner = window().mediaSideBar->widget();
        EXPECT_LE(sections.last()->geometry().bottom(), inner->height());
        EXPECT_LT(sections.first()->geometry().top(), 60);
    }
}

} // namespace
