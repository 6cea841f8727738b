#include "window/LQVideoView.h"

#include "window/LQUserInterfaceValidator.h"

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

using Button = LQVideoViewController::TransportButton;

namespace {

class RecordingDocument : public LQUserInterfaceValidator
{
public:
    bool validateUserInterfaceItem(const QAction *item) override { return item == allowed; }
    const QAction *allowed = nullptr;
};

class Controller : public LQVideoViewController
{
public:
    void QTMiniViewDoubleClicked() override { ++doubleClicks; }
    QAbstractButton *transportButton(Button button) override
    {
        auto found = buttons.find(button);
        return found == buttons.end() ? nullptr : found->second;
    }
    LQUserInterfaceValidator *recordingDoc() override { return document; }

    int doubleClicks = 0;
    std::map<Button, QAbstractButton *> buttons;
    LQUserInterfaceValidator *document = nullptr;
};

QRect letterboxed(LQVideoView &view, QSize size)
{
    view.resize(size);
    QResizeEvent event(size, QSize());
    QCoreApplication::sendEvent(&view, &event);
    return view.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).first()->geometry();
}

void expectNear(const QRect &actual, const QRect &expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1);
    EXPECT_NEAR(actual.y(), expected.y(), 1);
    EXPECT_NEAR(actual.width(), expected.width(), 1);
    EXPECT_NEAR(actual.height(), expected.height(), 1);
}

TEST(LQVideoViewTest, KeepsItsOnePictureLetterboxed)
{
    LQVideoView view;
    auto *picture = new QWidget(&view);
    view.setNaturalSize(QSizeF(640, 480));
    expectNear(letterboxed(view, {400, 200}), {67, 0, 267, 200});
    expectNear(letterboxed(view, {400, 400}), {0, 50, 400, 300});

    // Without a natural size the picture's own proportions are kept.
    view.setNaturalSize(std::nullopt);
    picture->setGeometry(0, 0, 200, 100);
    expectNear(letterboxed(view, {300, 300}), {0, 75, 300, 150});

    // A collapsed view, or a natural size without height, fills instead of dividing by zero.
    view.setNaturalSize(QSizeF(640, 0));
    expectNear(letterboxed(view, {300, 200}), {0, 0, 300, 200});
    view.setNaturalSize(QSizeF(640, 480));
    expectNear(letterboxed(view, {300, 0}), {0, 0, 300, 0});
    view.setNaturalSize(std::nullopt);
    expectNear(letterboxed(view, {300, 120}), {0, 0, 300, 120});
}

TEST(LQVideoViewTest, MovesNothingWithNoneOrTwoChildren)
{
    LQVideoView view;
    view.setNaturalSize(QSizeF(640, 480));
    view.resize(100, 100); // no child: nothing to do
    auto *first = new QWidget(&view);
    auto *second = new QWidget(&view);
    first->setGeometry(1, 2, 3, 4);
    second->setGeometry(5, 6, 7, 8);
    view.resize(400, 200);
    QResizeEvent event(QSize(400, 200), QSize(100, 100));
    QCoreApplication::sendEvent(&view, &event);
    EXPECT_EQ(first->geometry(), QRect(1, 2, 3, 4));
    EXPECT_EQ(second->geometry(), QRect(5, 6, 7, 8));
}

TEST(LQVideoViewTest, OnlyADoubleClickAsksForPromotionAndOnlyOnce)
{
    LQVideoView view;
    EXPECT_EQ(view.focusPolicy(), Qt::ClickFocus);
    view.resize(100, 100);
    QTest::mouseDClick(&view, Qt::LeftButton); // without a controller nothing happens
    Controller controller;
    view.setController(&controller);
    QTest::mouseClick(&view, Qt::LeftButton);
    EXPECT_EQ(controller.doubleClicks, 0);
    QTest::mouseDClick(&view, Qt::LeftButton);
    EXPECT_EQ(controller.doubleClicks, 1);
}

TEST(LQVideoViewTest, PressActionsClickTheControllersButtons)
{
    using Press = void (*)(LQVideoView &);
    const std::pair<Press, Button> actions[] = {
        {[](LQVideoView &v) { v.pressRecordButton(); }, Button::Record},
        {[](LQVideoView &v) { v.pressPlayButton(); }, Button::Play},
        {[](LQVideoView &v) { v.pressBackButton(); }, Button::Back},
        {[](LQVideoView &v) { v.pressRWButton(); }, Button::Rewind},
        {[](LQVideoView &v) { v.pressFFButton(); }, Button::FastForward},
        {[](LQVideoView &v) { v.pressPauseButton(); }, Button::Pause},
        {[](LQVideoView &v) { v.pressPrevSlideButton(); }, Button::PreviousSlide},
        {[](LQVideoView &v) { v.pressNextSlideButton(); }, Button::NextSlide},
    };
    LQVideoView view;
    Controller controller;
    std::map<Button, std::unique_ptr<QPushButton>> buttons;
    std::map<Button, std::unique_ptr<QSignalSpy>> clicks;
    for (const auto &[action, role] : actions) {
        buttons[role] = std::make_unique<QPushButton>();
        clicks[role] = std::make_unique<QSignalSpy>(buttons[role].get(), &QPushButton::clicked);
        controller.buttons[role] = buttons[role].get();
        action(view); // no controller yet: nothing
    }
    view.setController(&controller);
    for (const auto &[action, role] : actions) {
        action(view);
        for (const auto &[otherAction, other] : actions)
            EXPECT_EQ(clicks[other]->count(), other <= role ? 1 : 0);
    }
    // A controller without the button: nothing happens.
    controller.buttons.clear();
    view.pressPlayButton();
    EXPECT_EQ(clicks[Button::Play]->count(), 1);
}

TEST(LQVideoViewTest, TheRecordingDocumentValidatesMenuItems)
{
    LQVideoView view;
    QAction allowed;
    QAction other;
    EXPECT_FALSE(view.validateUserInterfaceItem(&allowed));
    Controller controller;
    view.setController(&controller);
    EXPECT_FALSE(view.validateUserInterfaceItem(&allowed));
    RecordingDocument document;
    document.allowed = &allowed;
    controller.document = &document;
    EXPECT_TRUE(view.validateUserInterfaceItem(&allowed));
    EXPECT_FALSE(view.validateUserInterfaceItem(&other));
}

} // namespace
