#include "document/ImportMediaController.h"

#include "FakeImportTarget.h"
#include "document/ImportMediaView.h"
#include "document/ImportMediaWindow.h"
#include "document/ImportProgressWindow.h"
#include "model/WrenTimerSession.h"
#include "support/LogCapture.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/WidgetPictures.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

using namespace std::chrono_literals;
using Insertion = ImportScript::Insertion;
using MediaClass = ImportMediaView::MediaClass;

enum Mix { AV, A, V, None };

const QString kBothWarning =
    QStringLiteral("Warning, this will delete the current recorded audio and video");
const QString kAudioWarning =
    QStringLiteral("Warning, this will delete the current recorded audio");
const QString kVideoWarning =
    QStringLiteral("Warning, this will delete the current recorded video");

std::vector<std::shared_ptr<WrenTimerSession>> sessionsOf(const std::vector<Mix> &mixes)
{
    std::vector<std::shared_ptr<WrenTimerSession>> sessions;
    for (const Mix mix : mixes) {
        auto session = WrenTimerSession::sessionWithLength(600);
        session->setHasAudio(mix == AV || mix == A);
        session->setHasVideo(mix == AV || mix == V);
        sessions.push_back(session);
    }
    return sessions;
}

class ImportMediaControllerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        movie = folder.filePath(QStringLiteral("talk.mp4"));
        script.convertedFolder = folder.path();
    }

    // Imports movie into a note with mixes; act runs once the dialog shows and must close it.
    void importWithDialog(const std::vector<Mix> &mixes,
                          const std::function<void(ImportMediaWindow &)> &act)
    {
        controller.setTimerSessions(sessionsOf(mixes));
        bool acted = false;
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            ImportMediaWindow *window = controller.importMediaWindow();
            if (acted || !window || !window->isVisible())
                return;
            acted = true;
            act(*window);
        });
        QTimer stuck;
        stuck.setSingleShot(true);
        QObject::connect(&stuck, &QTimer::timeout, [&] {
            ADD_FAILURE() << "the dialog stayed open";
            controller.importMediaWindow()->done(QDialog::Rejected);
        });
        poll.start();
        stuck.start(10s);
        controller.importMediaFromFile(movie);
        EXPECT_TRUE(acted) << "the dialog was not shown";
    }

    // Imports movie into a note without sessions and waits for the import to end.
    void importWithoutSessions()
    {
        controller.setTimerSessions({});
        controller.importMediaFromFile(movie);
        runEventLoopUntil([this] { return !controller.importing(); }, 5s);
        EXPECT_FALSE(controller.importing());
    }

    QTemporaryDir folder;
    QString movie;
    ImportScript script;
    ScriptedAlertPresenter alerts;
    ImportMediaController controller{std::make_unique<FakeImportTarget>(script)};
};

struct Arrows
{
    bool before = false;
    bool replace = false;
    bool append = false;
    bool operator==(const Arrows &) const = default;
};

Arrows arrowsOf(const ImportMediaWindow &window)
{
    return {!window.beforeArrow()->isHidden(), !window.replaceArrow()->isHidden(),
            !window.appendArrow()->isHidden()};
}

TEST_F(ImportMediaControllerTest, DialogShowsTheKeyAndEachChoicesArrowAndWarning)
{
    const QMap<QString, MediaClass> keyClasses = {{"Audio and video", MediaClass::AudioAndVideo},
                                                  {"Audio", MediaClass::AudioOnly},
                                                  {"Video", MediaClass::VideoOnly},
                                                  {"No audio/video", MediaClass::Neither}};
    const struct
    {
        std::vector<Mix> mixes;
        QString replaceWarning;
        QStringList key;
    } rows[] = {
        {{AV}, kBothWarning, {"Audio and video"}},
        {{A, V}, kBothWarning, {"Audio", "Video"}},
        {{A, A}, kAudioWarning, {"Audio"}},
        {{V, None, V}, kVideoWarning, {"Video", "No audio/video"}},
        {{None, V, A, AV}, kBothWarning, {"Audio and video", "Audio", "Video", "No audio/video"}},
        {{None}, QString(), {"No audio/video"}},
    };
    const std::pair<int, Arrows> arrows[] = {
        {ImportMediaWindow::kAtBeginning, {true, false, false}},
        {ImportMediaWindow::kReplaceAll, {false, true, false}},
        {ImportMediaWindow::kAtEnd, {false, false, true}}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.key.join(',').toStdString());
        importWithDialog(row.mixes, [&](ImportMediaWindow &window) {
            QStringList key;
            for (int i = 0; i < ImportMediaWindow::kKeyCount; ++i) {
                EXPECT_EQ(window.keyTextField(i)->isHidden(), window.keyView(i)->isHidden());
                if (window.keyTextField(i)->isHidden())
                    continue;
                key.append(window.keyTextField(i)->text());
                const auto swatch =
                    window.keyView(i)->segments(QRectF(0, 0, 14, 14), QFontMetricsF(window.font()));
                ASSERT_EQ(swatch.size(), 1);
                EXPECT_EQ(swatch.front().colour, ImportMediaView::colourOf(keyClasses.value(
                                                     window.keyTextField(i)->text())));
            }
            EXPECT_EQ(key, row.key);
            EXPECT_EQ(window.sessionsView()->numSessions(), row.mixes.size());

            EXPECT_EQ(window.radioButtons()->checkedId(), ImportMediaWindow::kAtEnd);
            EXPECT_EQ(arrowsOf(window), (Arrows{false, false, true}));
            for (const auto &[id, shown] : arrows) {
                window.radioButtons()->button(id)->click();
                EXPECT_EQ(arrowsOf(window), shown) << id;
                EXPECT_EQ(window.warningField()->text(),
                          id == ImportMediaWindow::kReplaceAll ? row.replaceWarning : QString())
                    << id;
            }
            window.cancelButton()->click();
        });
    }
    EXPECT_TRUE(script.insertions.isEmpty());
}

TEST_F(ImportMediaControllerTest, OkInsertsWhereTheChoiceSays)
{
    const struct
    {
        int choice;
        Insertion expected;
    } rows[] = {
        {ImportMediaWindow::kAtBeginning, {{}, 0, false}},
        {ImportMediaWindow::kReplaceAll, {{}, 0, true}},
        {ImportMediaWindow::kAtEnd, {{}, 2, false}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.choice);
        script.insertions.clear();
        importWithDialog({A, AV}, [&](ImportMediaWindow &window) {
            window.radioButtons()->button(row.choice)->click();
            window.okButton()->click();
        });
        Insertion expected = row.expected;
        expected.path = movie;
        EXPECT_EQ(script.insertions, QList<Insertion>{expected});
        EXPECT_FALSE(controller.importing());
        EXPECT_FALSE(controller.importMediaWindow()->isVisible());
        EXPECT_EQ(alerts.count(), 0);
    }
}

TEST_F(ImportMediaControllerTest, CancelEndsTheImportWithoutInserting)
{
    const struct
    {
        const char *name;
        std::function<void(ImportMediaWindow &)> act;
    } rows[] = {
        {"Cancel", [](ImportMediaWindow &window) { window.cancelButton()->click(); }},
        {"Escape", [](ImportMediaWindow &window) { window.reject(); }},
        {"Cancel while loading",
         [](ImportMediaWindow &window) {
             window.okButton()->click();
             EXPECT_TRUE(window.okButton()->isHidden());
             EXPECT_FALSE(window.progressTextField()->isHidden());
             EXPECT_FALSE(window.progressIndicator()->isHidden());
             window.cancelButton()->click();
         }},
    };
    script.loadsAtOnce = false;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        importWithDialog({AV}, row.act);
        EXPECT_FALSE(controller.importing());
        EXPECT_FALSE(controller.importMediaWindow()->isVisible());
        script.finishLoading(); // a late answer changes nothing
    }
    EXPECT_TRUE(script.insertions.isEmpty());
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(ImportMediaControllerTest, WithoutSessionsTheFileGoesInAtTheBeginningWithoutADialog)
{
    const struct
    {
        const char *name;
        std::function<void(ImportProgressWindow &)> act;
        QList<Insertion> expected;
    } rows[] = {
        {"loaded", [this](ImportProgressWindow &) { script.finishLoading(); }, {{{}, 0, false}}},
        {"Cancel", [](ImportProgressWindow &p) { p.cancelImportingButton()->click(); }, {}},
        {"closed", [](ImportProgressWindow &p) { p.close(); }, {}},
    };
    script.loadsAtOnce = false;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        script.insertions.clear();
        script.opened.clear();
        controller.setTimerSessions({});
        controller.importMediaFromFile(movie);
        EXPECT_EQ(controller.importMediaWindow(), nullptr);
        ImportProgressWindow *progress = controller.processingProgressWindow();
        ASSERT_NE(progress, nullptr);
        EXPECT_TRUE(progress->isVisible());
        EXPECT_FALSE(progress->cancelImportingButton()->isHidden());
        controller.importMediaFromFile(folder.filePath(QStringLiteral("second.mp4")));
        EXPECT_EQ(script.opened, QStringList{movie}) << "one import at a time";

        row.act(*progress);
        script.finishLoading();
        QList<Insertion> expected = row.expected;
        for (Insertion &insertion : expected)
            insertion.path = movie;
        EXPECT_EQ(script.insertions, expected);
        EXPECT_FALSE(controller.importing());
        EXPECT_FALSE(progress->isVisible());
    }
}

TEST_F(ImportMediaControllerTest, AFileThatDoesNotOpenIsToldAndChangesNothing)
{
    const struct
    {
        Error mediaError;
        QString informative;
    } rows[] = {
        {Error(QStringLiteral("media"), 3, QStringLiteral("The file holds no audio or video.")),
         QStringLiteral("The file holds no audio or video.")},
        {Error(), QString()},
    };
    for (const auto &row : rows) {
        script.openFailures.insert(movie, row.mediaError);
        controller.setTimerSessions(sessionsOf({A}));
        controller.importMediaFromFile(movie);
        const AlertRequest alert = alerts.last().request;
        EXPECT_EQ(alert.messageText, "Could not parse file.");
        EXPECT_EQ(alert.informativeText, row.informative);
        EXPECT_EQ(alert.buttons, QStringList{"OK"});
        EXPECT_FALSE(controller.importing());
        EXPECT_EQ(controller.importMediaWindow(), nullptr);
        EXPECT_EQ(controller.processingProgressWindow(), nullptr);
    }
    EXPECT_FALSE(script.pendingLoad);
    EXPECT_TRUE(script.insertions.isEmpty());
}

TEST_F(ImportMediaControllerTest, AFailedInsertionShowsItsErrorWithTheCause)
{
    const Error failed(QStringLiteral("importing"), 2,
                       QStringLiteral("Failed to import media file."));
    const struct
    {
        Error error;
        QString informative;
    } rows[] = {
        {failed.withUnderlyingError(
             Error(QStringLiteral("files"), 28, QStringLiteral("No space is left on the disk."))),
         QStringLiteral("No space is left on the disk.")},
        {failed, QString()},
        {Error(), QString()}, // refused without an error: still told
    };
    for (const auto &row : rows) {
        script.insertFailure = row.error;
        importWithoutSessions();
        const AlertRequest alert = alerts.last().request;
        EXPECT_EQ(alert.messageText, "Failed to import media file.");
        EXPECT_EQ(alert.informativeText, row.informative);
        EXPECT_EQ(alert.buttons, QStringList{"OK"});
    }
    EXPECT_EQ(script.insertions.size(), 3);
}

TEST_F(ImportMediaControllerTest, AFileThePlayerCannotPlayIsConvertedFirst)
{
    using Script = FakeOldMediaConversion::Script;
    const QString converted = folder.filePath(QStringLiteral("talk-converted.mov"));
    const struct
    {
        const char *name;
        bool installed;
        bool playable;
        Script conversion;
        QString inserted; // empty: the conversion failed
        QString logged;
    } rows[] = {
        {"playable", true, true, {}, movie, {}},
        {"no converter", false, false, {}, movie, {}},
        {"converted", true, false, {}, converted, {}},
        {"not converted", true, false, {false, true, true}, {}, {}},
        {"output does not open", true, false, {true, false, true}, {}, "QT reported: no movie"},
        {"nothing written", true, false, {true, true, false}, {}, "nothing was written"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        FakeOldMediaConversion conversion;
        conversion.script = row.conversion;
        if (!row.playable)
            conversion.unplayable.insert(QStringLiteral("talk.mp4"));
        script.conversion = row.installed ? &conversion : nullptr;
        script.insertions.clear();
        const int alertsBefore = alerts.count();
        LogCapture log;
        importWithoutSessions();
        if (row.inserted.isEmpty()) {
            EXPECT_TRUE(script.insertions.isEmpty());
            ASSERT_EQ(alerts.count(), alertsBefore + 1);
            EXPECT_EQ(alerts.last().request.messageText, "Error parsing media");
            EXPECT_EQ(alerts.last().request.informativeText,
                      "Luma Quill cannot parse this audio/video file. Please consider converting "
                      "it to a more common format and trying again.");
            EXPECT_FALSE(QFileInfo::exists(converted)) << "no half-made file stays";
        } else {
            EXPECT_EQ(script.insertions, (QList<Insertion>{{row.inserted, 0, false}}));
            EXPECT_EQ(alerts.count(), alertsBefore);
            EXPECT_EQ(QFileInfo::exists(converted), row.inserted == converted);
            QFile::remove(converted);
        }
        if (!row.logged.isEmpty()) {
            EXPECT_TRUE(log.contains(row.logged)) << log.lines().join("").toStdString();
        }
        EXPECT_EQ(conversion.calls.contains("convert:talk.mp4:0"), row.installed && !row.playable);
    }
    script.conversion = nullptr;
}

TEST_F(ImportMediaControllerTest, DialogPictureInLightAndDarkThemes)
{
    LookGuard look;
    script.loadsAtOnce = false;
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        importWithDialog({A, AV, V, None}, [&](ImportMediaWindow &window) {
            window.radioButtons()->button(ImportMediaWindow::kReplaceAll)->click();
            const QImage image = picture(window, 1.0);
            image.save(QDir(QCoreApplication::applicationDirPath())
                           .filePath(dark ? "import-media-dialog-dark.png"
                                          : "import-media-dialog-light.png"));
            EXPECT_GT(colourCount(image), 20);
            const QList<QWidget *> parts = {window.sessionsView(),  window.replaceArrow(),
                                            window.keyTextField(3), window.warningField(),
                                            window.okButton(),      window.cancelButton()};
            for (QWidget *part : parts) {
                EXPECT_TRUE(part->isVisible());
                EXPECT_TRUE(window.rect().contains(
                    QRect(part->mapTo(&window, QPoint(0, 0)), part->size())));
            }
            window.okButton()->click();
            const QImage importing = picture(window, 2.0);
            importing.save(QDir(QCoreApplication::applicationDirPath())
                               .filePath(dark ? "import-media-dialog-dark-importing.png"
                                              : "import-media-dialog-light-importing.png"));
            EXPECT_TRUE(window.progressIndicator()->isVisible());
            EXPECT_EQ(window.size(), image.size()) << "the dialog keeps its size";
            window.cancelButton()->click();
        });
    }
}

} // namespace
} // namespace lq::test
