// The web sharing settings: the first-use settings window, the share panel with its include
// options, and what reaches the note's export.
#include "document/LQSharingController.h"
#include "document/MyDocument.h"
#include "platform/foundation/Error.h"
#include "preferences/ArchivedValues.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeUiServices.h"
#include "support/ModalWatcher.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/ScriptedPanelPresenter.h"
#include "support/TestUserDefaults.h"
#include "support/WidgetPictures.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

const QString kLocation = QLatin1String(LQSharingController::kDefaultShareLocationKey);
const QString kAuthor = QLatin1String(LQSharingController::kDefaultShareAuthorNameKey);
// The include boxes by letter.
const QString kBoxes = u"AVSO"_s;
const QStringList kBoxNames = {u"Audio"_s, u"Video"_s, u"Slides"_s, u"Original"_s};

void click(const QWidget *parent, const QString &name)
{
    auto *widget = parent->findChild<QWidget *>(name);
    ASSERT_NE(widget, nullptr) << name.toStdString();
    // On a check box's box, as the user does.
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
}

class SharingControllerTest : public testing::Test
{
protected:
    SharingControllerTest()
    {
        sharing.setCurrentDoc(note.get());
        sharing.setExporter([this](MyDocument &doc, const QString &folder,
                                   const QVariantMap &include, lq::Error *error) {
            EXPECT_EQ(&doc, note.get());
            EXPECT_EQ(folder, temp.filePath(u"Shared"_s));
            exported.append(include);
            lq::setError(error, lq::Error());
            return false;
        });
    }

    QByteArray archived(const QString &name) const
    {
        QDir(temp.path()).mkpath(name);
        return lq::ArchivedValues::encodeFolderURL(QUrl::fromLocalFile(temp.filePath(name)));
    }
    // The share panel answers "Shared" after act did its clicks on the accessory.
    void share(std::function<void(QWidget &accessory)> act)
    {
        panels.choose([this, act](lq::FilePanel &panel) -> std::optional<QString> {
            act(*panel.accessoryView());
            return temp.filePath(u"Shared"_s);
        });
    }

    lq::test::TestUserDefaults defaults;
    lq::test::FakeEngineFactory engines;
    lq::test::ScriptedPanelPresenter panels;
    lq::test::ScriptedAlertPresenter alerts;
    QTemporaryDir temp;
    std::unique_ptr<MyDocument> note = MyDocument::create();
    LQSharingController sharing;
    QList<QVariantMap> exported;
};

TEST_F(SharingControllerTest, TheIncludeOptionsFollowWhatTheNoteHasAndTheUsersClicks)
{
    const struct
    {
        const char *name;
        QString possible, clicks, included, disabled; // box letters
    } cases[] = {
        {"everything possible", u"AVS"_s, {}, u"AVS"_s, {}},
        {"no video, no slides", u"A"_s, {}, u"A"_s, u"VS"_s},
        {"audio off takes video", u"AVS"_s, u"A"_s, u"S"_s, u"V"_s},
        {"audio back frees video, unticked", u"AVS"_s, u"AA"_s, u"AS"_s, {}},
        {"audio back, no video to free", u"AS"_s, u"AA"_s, u"AS"_s, u"V"_s},
        {"the original alone", {}, u"O"_s, u"O"_s, u"AVS"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        sharing.setAudioPossible(c.possible.contains(u'A'));
        sharing.setVideoPossible(c.possible.contains(u'V'));
        sharing.setSlidesPossible(c.possible.contains(u'S'));
        QString disabled;
        share([&](QWidget &accessory) {
            for (const QChar box : c.clicks)
                click(&accessory, u"include%1Checkbox"_s.arg(kBoxNames[kBoxes.indexOf(box)]));
            for (qsizetype i = 0; i < kBoxes.size(); ++i)
                if (!accessory.findChild<QCheckBox *>(u"include%1Checkbox"_s.arg(kBoxNames[i]))
                         ->isEnabled())
                    disabled.append(kBoxes[i]);
        });
        sharing.openShareDialog();
        QVariantMap included;
        for (qsizetype i = 0; i < kBoxes.size(); ++i)
            included.insert(u"htmlIncludes"_s + kBoxNames[i], c.included.contains(kBoxes[i]));
        EXPECT_EQ(exported.last(), included);
        EXPECT_EQ(disabled, c.disabled);
    }
    EXPECT_EQ(alerts.count(), 0); // the export failed without an error to tell
}

TEST_F(SharingControllerTest, ThePanelStartsInTheDefaultFolderOnlyWhenItIsOne)
{
    const struct
    {
        const char *name;
        QVariant stored;
        QString directory;
    } cases[] = {
        {"a folder", archived(u"Public"_s), temp.filePath(u"Public"_s)},
        {"gone", lq::ArchivedValues::encodeFolderURL(QUrl::fromLocalFile(u"/gone"_s)), {}},
        {"undecodable", QByteArray("\x04\x0bstreamtyped\x81\xe8\x03", 16), {}},
        {"none", QVariant(), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->setObject(kLocation, c.stored);
        sharing.openShareDialog(); // cancelled
        EXPECT_EQ(panels.shown().last().directory, c.directory);
        EXPECT_EQ(defaults->object(kLocation), c.stored); // left as it was
    }
}

TEST_F(SharingControllerTest, TheSettingsWindowStoresRestoresAndGoesOnToTheShare)
{
    lq::test::RecordingHelpBook help;
    const QByteArray before = archived(u"Before"_s), chosen = archived(u"Chosen"_s);
    const QString cancel = u"cancelButton"_s, save = u"needsToBeBlueButton"_s;
    const struct
    {
        const char *name;
        QVariant locationBefore, authorBefore;
        QStringList keys; // buttons clicked (or keys typed) after Browse and typing "Bea"
        QVariant locationAfter, authorAfter;
        bool shared;
    } cases[] = {
        {"cancel restores the folder", before, {}, {cancel}, before, {}, false},
        {"cancel restores the name", {}, u"Ann"_s, {cancel}, {}, u"Ann"_s, false},
        {"escape cancels", before, {}, {u"Escape"_s}, before, {}, false},
        {"save", {}, {}, {save}, chosen, u"Bea"_s, true},
        {"clear, save", before, {}, {u"clearButton"_s, save}, {}, u"Bea"_s, true},
        {"help keeps both", {}, {}, {u"learnDropboxButton"_s}, chosen, u"Bea"_s, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->setObject(kLocation, c.locationBefore);
        defaults->setObject(kAuthor, c.authorBefore);
        panels.choose(temp.filePath(u"Chosen"_s)); // Browse; the share panel cancels
        whenModalShown<QDialog>([&](QDialog *window) {
            click(window, u"browseButton"_s);
            auto *author = window->findChild<QLineEdit *>(u"authorNameField"_s);
            author->selectAll();
            QTest::keyClicks(author, u"Bea"_s);
            for (const QString &key : c.keys)
                key == u"Escape" ? QTest::keyClick(window, Qt::Key_Escape) : click(window, key);
        });
        sharing.showPrefsWindowIfNecessary();
        EXPECT_EQ(defaults->object(kLocation), c.locationAfter);
        EXPECT_EQ(defaults->object(kAuthor), c.authorAfter);
        EXPECT_EQ(panels.shown().last().title,
                  c.shared ? u"Share for the Web"_s : u"Default Share Location"_s);
    }
    EXPECT_EQ(help.pages, QStringList{u"sharing.html#dropbox"_s});
    EXPECT_TRUE(panels.shown().first().choosesFolder);
}

TEST_F(SharingControllerTest, PicturesOfTheSettingsWindowAndTheShareOptions)
{
    defaults->setObject(kLocation, archived(u"Dropbox/Public"_s));
    sharing.setVideoPossible(false);
    const auto save = [](QWidget &widget, const QString &name) {
        for (const qreal scale : {1.0, 2.0}) {
            const QImage image = lq::test::picture(widget, scale);
            EXPECT_GT(lq::test::colourCount(image), 20) << name.toStdString(); // not blank
            EXPECT_TRUE(image.save(QDir(QCoreApplication::applicationDirPath())
                                       .filePath(u"sharing-%1@%2x.png"_s.arg(name).arg(scale))));
        }
    };
    whenModalShown<QDialog>([&](QDialog *window) {
        save(*window, u"settings"_s);
        window->reject();
    });
    sharing.showPrefsWindow();
    share([&](QWidget &accessory) {
        accessory.adjustSize();
        save(accessory, u"options"_s);
    });
    sharing.openShareDialog();
}

} // namespace
