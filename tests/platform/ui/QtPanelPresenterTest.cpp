#include "platform/ui/QtPanelPresenter.h"

#include "platform/ui/FilePanel.h"
#include "support/ModalWatcher.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class QtPanelPresenterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_panel.setTitle(QStringLiteral("Export Audio/Video"));
        m_panel.setPrompt(QStringLiteral("Export"));
        m_panel.setNameFieldLabel(QStringLiteral("Export As:"));
        m_panel.setDirectory(m_folder.path());
        m_panel.setAllowedExtensions({QStringLiteral("mov")});
        m_panel.setAccessoryView(std::make_unique<QLabel>(QStringLiteral("accessory")));
    }

    QTemporaryDir m_folder;
    lq::FilePanel m_panel{lq::FilePanel::Kind::Save};
};

TEST_F(QtPanelPresenterTest, SavePanelShowsThePanelAndCompletesTheTypedName)
{
    QPointer<QWidget> accessory = m_panel.accessoryView();
    QString title, prompt, nameLabel, suffixWhileShown, proposedName;
    bool accessoryInDialog = false;
    m_panel.setNameFieldStringValue(QStringLiteral("proposed.mov"));
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        proposedName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        prompt = dialog->labelText(QFileDialog::Accept);
        nameLabel = dialog->labelText(QFileDialog::FileName);
        accessoryInDialog = accessory && accessory->window() == dialog;
        m_panel.setAllowedExtensions({QStringLiteral("m4a")});
        suffixWhileShown = dialog->defaultSuffix();
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("clip.txt"));
        static_cast<QDialog *>(dialog)->accept(); // as the confirming button does
    });

    const std::optional<QString> chosen = lq::QtPanelPresenter().runModal(m_panel);

    EXPECT_EQ(chosen, m_folder.filePath(QStringLiteral("clip.txt.m4a")));
    EXPECT_EQ(title, QStringLiteral("Export Audio/Video"));
    EXPECT_EQ(prompt, QStringLiteral("Export"));
    EXPECT_EQ(nameLabel, QStringLiteral("Export As:"));
    EXPECT_EQ(proposedName, QStringLiteral("proposed.mov"));
    EXPECT_EQ(suffixWhileShown, QStringLiteral("m4a"));
    EXPECT_TRUE(accessoryInDialog);
    ASSERT_TRUE(accessory);
    EXPECT_EQ(accessory->parentWidget(), nullptr);
}

TEST(QtOpenPanelTest, TheMessageIsShownAboveTheFiles)
{
    lq::FilePanel panel(lq::FilePanel::Kind::Open);
    panel.setMessage(QStringLiteral("Select the audio or video file to import"));
    bool shownAbove = false;
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        dialog->resize(600, 400);
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            if (label->text() == panel.message())
                shownAbove = label->geometry().bottom() <
                             dialog->findChild<QWidget *>(QStringLiteral("listView"))
                                 ->mapTo(dialog, QPoint(0, 0))
                                 .y();
        dialog->reject();
    });
    EXPECT_EQ(lq::QtPanelPresenter().runModal(panel), std::nullopt);
    EXPECT_TRUE(shownAbove);
}

TEST(QtOpenPanelTest, AFolderPanelShowsFoldersOnlyAndAnswersTheFolder)
{
    QTemporaryDir parent;
    ASSERT_TRUE(QDir(parent.path()).mkdir(QStringLiteral("Notes")));
    lq::FilePanel panel(lq::FilePanel::Kind::Open);
    panel.setChoosesFolder(true);
    panel.setDirectory(parent.path());
    bool foldersOnly = false;
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        foldersOnly = dialog->fileMode() == QFileDialog::Directory &&
                      dialog->testOption(QFileDialog::ShowDirsOnly);
        dialog->selectFile(QStringLiteral("Notes"));
        static_cast<QDialog *>(dialog)->accept();
    });
    EXPECT_EQ(lq::QtPanelPresenter().runModal(panel), parent.filePath(QStringLiteral("Notes")));
    EXPECT_TRUE(foldersOnly);
}

TEST_F(QtPanelPresenterTest, OverwriteIsConfirmedForTheCompletedName)
{
    QFile existing(m_folder.filePath(QStringLiteral("clip.txt.mov")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    QString question;
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        whenModalShown<QMessageBox>([&](QMessageBox *confirmation) {
            question = confirmation->text();
            confirmation->button(QMessageBox::Yes)->click();
        });
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("clip.txt"));
        static_cast<QDialog *>(dialog)->accept();
    });

    EXPECT_EQ(lq::QtPanelPresenter().runModal(m_panel), existing.fileName());
    EXPECT_TRUE(question.contains(QStringLiteral("clip.txt.mov"))) << qPrintable(question);
}

TEST_F(QtPanelPresenterTest, CancellingAnswersNothing)
{
    whenModalShown<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });

    EXPECT_EQ(lq::QtPanelPresenter().runModal(m_panel), std::nullopt);
    EXPECT_NE(m_panel.accessoryView(), nullptr);
}

TEST(FilePanelTest, OnlySavePanelsCompleteChosenPaths)
{
    lq::FilePanel save(lq::FilePanel::Kind::Save);
    lq::FilePanel open(lq::FilePanel::Kind::Open);
    EXPECT_TRUE(save.canCreateFolders());
    EXPECT_FALSE(open.canCreateFolders());
    for (lq::FilePanel *panel : {&save, &open})
        panel->setAllowedExtensions({QStringLiteral("rtf"), QStringLiteral("txt")});

    struct Case
    {
        QString chosen;
        QString saved;
    };
    const Case cases[] = {
        {QStringLiteral("/a/notes"), QStringLiteral("/a/notes.rtf")},
        {QStringLiteral("/a/notes.txt"), QStringLiteral("/a/notes.txt")},
        {QStringLiteral("/a/notes.rtf"), QStringLiteral("/a/notes.rtf")},
        {QStringLiteral("/a/notes.pdf"), QStringLiteral("/a/notes.pdf.rtf")},
        {QStringLiteral("/a.b/notes"), QStringLiteral("/a.b/notes.rtf")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(save.completedPath(c.chosen), c.saved);
        EXPECT_EQ(open.completedPath(c.chosen), c.chosen);
    }
}

} // namespace
