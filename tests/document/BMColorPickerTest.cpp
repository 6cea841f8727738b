#include "document/BMColorPicker.h"

#include "document/BMColorWell.h"
#include "document/FakeHighlighterTarget.h"
#include "document/HighlightColors.h"
#include "document/SharedColorPanel.h"
#include "platform/foundation/NotificationCenter.h"
#include "support/TestUserDefaults.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QColor kYellow = QColor::fromRgbF(1, 1, 0);
const QColor kCyan = QColor::fromRgbF(0, 1, 1);
const QColor kOrange = QColor::fromRgbF(1, 0.5, 0);
const QColor kGreen = QColor::fromRgbF(0, 1, 0);
const QColor kRed = QColor::fromRgbF(1, 0, 0);
// The colour panel gives colours of 8 bits a component.
const QColor kPurple = QColor(128, 0, 128);

// A picker shown in a window of its own, its target a fake.
class BMColorPickerTest : public testing::Test
{
protected:
    BMColorPickerTest()
    {
        picker = new BMColorPicker(&window);
        picker->setTarget(&target);
        window.resize(120, 60);
        window.show();
    }
    ~BMColorPickerTest() override
    {
        if (QWidget *chooser = picker->chooserPanel())
            chooser->close();
        SharedColorPanel::panel()->close();
    }

    // Top to bottom.
    QList<BMColorChoice *> choices() const
    {
        QList<BMColorChoice *> choices = picker->chooserPanel()->findChildren<BMColorChoice *>();
        std::sort(choices.begin(), choices.end(), [](auto *a, auto *b) { return a->y() < b->y(); });
        return choices;
    }
    QList<QColor> swatches() const
    {
        QList<QColor> colors;
        for (const BMColorChoice *choice : choices())
            colors.append(choice->colorWell()->color());
        return colors;
    }
    QPushButton *button(const QString &title) const
    {
        for (QPushButton *button : picker->chooserPanel()->findChildren<QPushButton *>())
            if (button->text() == title)
                return button;
        return nullptr;
    }
    QList<QColor> stored() const
    {
        QList<QColor> colors;
        for (const QVariant &item :
             defaults->arrayForKey(QString::fromLatin1(highlight_colors::kDefaultsKey)))
            colors.append(highlight_colors::decode(item.toByteArray()).value_or(QColor()));
        return colors;
    }
    bool chooserShown() const
    {
        return picker->chooserPanel() && picker->chooserPanel()->isVisible();
    }
    // A pixel inside the pen's body.
    static QRgb penPixel(QWidget &well) { return well.grab().toImage().pixel(12, 16); }

    lq::test::TestUserDefaults defaults;
    FakeTarget target;
    QWidget window;
    BMColorPicker *picker;
};

TEST_F(BMColorPickerTest, ChoosingASwatchPutsItFirstAndHighlightsWithIt)
{
    EXPECT_EQ(picker->color(), kYellow);
    QTest::mouseClick(picker, Qt::RightButton);
    ASSERT_TRUE(chooserShown());
    EXPECT_EQ(swatches(), (QList<QColor>{kCyan, kOrange, kGreen, kRed}));
    QTest::mouseClick(choices().at(2), Qt::LeftButton);
    EXPECT_EQ(stored(), (QList<QColor>{kGreen, kYellow, kCyan, kOrange, kRed}));
    EXPECT_EQ(picker->color(), kGreen);
    EXPECT_TRUE(picker->selected());
    EXPECT_FALSE(chooserShown());
    EXPECT_EQ(target.calls, QStringList{"select #00ff00"});
    EXPECT_EQ(BMColorPicker().colors(), stored()) << "every picker shares the list";
}

TEST_F(BMColorPickerTest, ColoursFromTheSharedPanelAreStoredFirst)
{
    int started = 0, ended = 0;
    auto &center = lq::NotificationCenter::defaultCenter();
    center.addObserver(&target, QStringLiteral("otherColorPickerStarted"), picker,
                       [&](const lq::Notification &) { ++started; });
    center.addObserver(&target, QStringLiteral("otherColorPickerEnded"), picker,
                       [&](const lq::Notification &) { ++ended; });
    const std::vector<std::pair<QColor, QList<QColor>>> steps = {
        {kPurple, {kPurple, kYellow, kCyan, kOrange, kGreen, kRed}},
        {kPurple, {kPurple, kPurple, kYellow, kCyan, kOrange, kGreen, kRed}},
    };
    int round = 0;
    for (const auto &[color, list] : steps) {
        ++round;
        // The panel tells only a change of its colour.
        SharedColorPanel::panel()->setCurrentColor(Qt::white);
        QTest::mouseClick(picker, Qt::RightButton);
        QTest::mouseClick(button(QStringLiteral("Other")), Qt::LeftButton);
        EXPECT_EQ(started, round);
        EXPECT_TRUE(picker->showingColorPanel());
        SharedColorPanel::panel()->setCurrentColor(color);
        EXPECT_EQ(stored(), list);
        EXPECT_EQ(picker->color(), color);
        EXPECT_TRUE(QTest::qWaitFor([] { return !SharedColorPanel::panel()->isVisible(); }));
        EXPECT_EQ(ended, round);
    }
    QTest::mouseClick(picker, Qt::RightButton);
    EXPECT_EQ(swatches().first(), kPurple) << "the pen's own colour shows again at the top";
    center.removeObserver(static_cast<const void *>(&target));
}

TEST_F(BMColorPickerTest, ResetRefillsTheOpenChooserAndSendsNothing)
{
    highlight_colors::store(*defaults, {kPurple, kRed});
    QTest::mouseClick(picker, Qt::RightButton);
    EXPECT_EQ(swatches(), (QList<QColor>{kRed, kYellow, kCyan, kOrange}));
    QTest::mouseClick(button(QStringLiteral("Reset")), Qt::LeftButton);
    EXPECT_FALSE(defaults->contains(QString::fromLatin1(highlight_colors::kDefaultsKey)));
    EXPECT_EQ(picker->color(), kYellow);
    EXPECT_EQ(swatches(), (QList<QColor>{kCyan, kOrange, kGreen, kRed}));
    EXPECT_TRUE(chooserShown());
    EXPECT_TRUE(target.calls.isEmpty());
    picker->chooserPanel()->grab().save(QDir(QCoreApplication::applicationDirPath())
                                            .filePath(QStringLiteral("HighlighterChooser.png")));
}

struct Click
{
    QPoint at;
    Qt::KeyboardModifiers modifiers = {};
    bool twice = false;
};

struct ClickCase
{
    const char *name;
    bool editable;
    std::vector<Click> clicks;
    QStringList calls;
    bool chooser;
};

TEST_F(BMColorPickerTest, ClicksToggleOpenTheChooserOrAreIgnored)
{
    const QPoint pen(5, 5), triangle(24, 25);
    const std::vector<ClickCase> cases = {
        {"two plain clicks", true, {{pen}, {pen}}, {"select #ffff00", "deselect"}, false},
        {"double click", true, {{pen}, {pen, {}, true}}, {"select #ffff00"}, false},
        {"Alt-click", true, {{pen, Qt::AltModifier}}, {}, true},
        {"the triangle", true, {{triangle}}, {}, true},
        {"not editable", false, {{pen}, {triangle}}, {}, false},
    };
    for (const ClickCase &c : cases) {
        SCOPED_TRACE(c.name);
        target.calls.clear();
        if (picker->chooserPanel())
            picker->chooserPanel()->close();
        picker->setSelected(false);
        Q_EMIT target.editableChanged(c.editable);
        for (const Click &click : c.clicks) {
            if (click.twice)
                QTest::mouseDClick(picker, Qt::LeftButton, click.modifiers, click.at);
            else
                QTest::mouseClick(picker, Qt::LeftButton, click.modifiers, click.at);
        }
        EXPECT_EQ(target.calls, c.calls);
        EXPECT_EQ(chooserShown(), c.chooser);
        EXPECT_EQ(penPixel(*picker->currentWell()) == kYellow.rgb(), c.editable)
            << "drawn inactive when not editable";
    }
}

TEST_F(BMColorPickerTest, ColoursDecodeSkipAndKeepTheirOwnTint)
{
    QVariantList items{highlight_colors::encode(kPurple), QByteArray("not a colour"),
                       highlight_colors::encode(kRed)};
    defaults->setObject(QString::fromLatin1(highlight_colors::kDefaultsKey), items);
    EXPECT_EQ(picker->colors(), (QList<QColor>{kPurple, kRed, kYellow, kCyan, kOrange, kGreen}));
    picker->setColor(kGreen);
    picker->setColor(std::nullopt);
    EXPECT_EQ(picker->color(), kPurple);
    EXPECT_EQ(defaults->arrayForKey(QString::fromLatin1(highlight_colors::kDefaultsKey)), items);

    BMColorWell first, second;
    for (BMColorWell *well : {&first, &second})
        well->resize(BMColorPicker::kDefaultSize);
    first.setColor(kCyan);
    second.setColor(kRed);
    EXPECT_EQ(penPixel(first), kCyan.rgb());
    EXPECT_EQ(penPixel(second), kRed.rgb());
    EXPECT_EQ(penPixel(first), kCyan.rgb()) << "after the other well was drawn";
}

} // namespace
