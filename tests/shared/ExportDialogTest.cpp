#include "shared/ExportDialog.h"

#include "support/ScriptedPanelPresenter.h"

#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using lq::test::ScriptedPanelPresenter;

const QList<ExportFormat> kMediaFormats{
    {QStringLiteral("QuickTime Movie"), QStringLiteral("mov")},
    {QStringLiteral("MPEG-4 Audio"), QStringLiteral("m4a")},
};

TEST(ExportDialogTest, BuildsTheSavePanelWithTheFormatPopUp)
{
    const ExportDialog dialog =
        createExportDialog(QStringLiteral("Export Audio/Video"),
                           {{QStringLiteral("QuickTime Movie"), QStringLiteral("mov")}});
    const lq::FilePanel &panel = *dialog.panel;

    EXPECT_EQ(panel.kind(), lq::FilePanel::Kind::Save);
    EXPECT_EQ(panel.title(), QStringLiteral("Export Audio/Video"));
    EXPECT_EQ(panel.prompt(), QStringLiteral("Export"));
    EXPECT_EQ(panel.nameFieldLabel(), QStringLiteral("Export As:"));
    EXPECT_TRUE(panel.canCreateFolders());
    EXPECT_EQ(panel.allowedExtensions(), QStringList{QStringLiteral("mov")});

    const QWidget *accessory = panel.accessoryView();
    ASSERT_NE(accessory, nullptr);
    ASSERT_EQ(dialog.formatPopUp->parentWidget(), accessory);
    // At 100, and wide enough to show its title whole.
    const QRect popUp = dialog.formatPopUp->geometry();
    EXPECT_EQ(popUp.topLeft(), QPoint(100, 0));
    EXPECT_EQ(popUp.height(), 26);
    EXPECT_GE(popUp.width(), std::max(100, dialog.formatPopUp->sizeHint().width()));
    EXPECT_EQ(accessory->size(), QSize(std::max(200, popUp.right() + 1), 26));
    EXPECT_EQ(dialog.formatPopUp->count(), 1);
    EXPECT_EQ(dialog.formatPopUp->currentText(), QStringLiteral("QuickTime Movie"));

    const auto *label = accessory->findChild<QLabel *>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("File format:"));
    EXPECT_EQ(label->x(), 0);
    EXPECT_GE(label->width(), 100);
    EXPECT_TRUE(label->alignment() & Qt::AlignRight);
    EXPECT_EQ(label->y(), (26 - label->height()) / 2);
}

TEST(ExportDialogTest, ChosenNamesEndInTheSelectedExtension)
{
    struct Case
    {
        QString typed;
        QString answered;
    };
    const Case cases[] = {
        {QStringLiteral("/notes/clip"), QStringLiteral("/notes/clip.mov")},
        {QStringLiteral("/notes/clip.txt"), QStringLiteral("/notes/clip.txt.mov")},
        {QStringLiteral("/notes/clip.mov"), QStringLiteral("/notes/clip.mov")},
        {QStringLiteral("/notes/clip.MOV"), QStringLiteral("/notes/clip.MOV.mov")},
    };
    for (const Case &c : cases) {
        ScriptedPanelPresenter panels;
        const ExportDialog dialog = createExportDialog(QStringLiteral("Export"), kMediaFormats);
        panels.choose(c.typed);
        EXPECT_EQ(lq::PanelPresenter::current().runModal(*dialog.panel), c.answered);
    }
}

TEST(ExportDialogTest, AllowedExtensionFollowsThePopUpWhileShown)
{
    ScriptedPanelPresenter panels;
    const ExportDialog dialog = createExportDialog(QStringLiteral("Export"), kMediaFormats);
    EXPECT_EQ(dialog.formatPopUp->count(), 2);
    EXPECT_EQ(dialog.formatPopUp->currentIndex(), 0);

    panels.choose([&dialog](lq::FilePanel &) {
        dialog.formatPopUp->setCurrentIndex(1);
        return std::optional<QString>(QStringLiteral("/notes/voice"));
    });
    EXPECT_EQ(lq::PanelPresenter::current().runModal(*dialog.panel),
              QStringLiteral("/notes/voice.m4a"));
    ASSERT_EQ(panels.shown().size(), 1);
    EXPECT_EQ(panels.shown().first().allowedExtensions, QStringList{QStringLiteral("mov")});
    EXPECT_EQ(dialog.panel->allowedExtensions(), QStringList{QStringLiteral("m4a")});

    panels.cancel();
    EXPECT_EQ(lq::PanelPresenter::current().runModal(*dialog.panel), std::nullopt);
}

TEST(ExportDialogTest, NoFormatsAllowsAnyName)
{
    ScriptedPanelPresenter panels;
    const ExportDialog dialog = createExportDialog(QStringLiteral("Export"), {});
    EXPECT_EQ(dialog.formatPopUp->count(), 0);
    EXPECT_TRUE(dialog.panel->allowedExtensions().isEmpty());

    panels.choose(QStringLiteral("/notes/clip.txt"));
    EXPECT_EQ(lq::PanelPresenter::current().runModal(*dialog.panel),
              QStringLiteral("/notes/clip.txt"));
}

} // namespace
