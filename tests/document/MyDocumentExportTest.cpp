#include "document/EditingTestSupport.h"
#include "document/ExportProgressWindow.h"
#include "platform/pdf/PdfTestFiles.h"
#include "platform/ui/QtPanelPresenter.h"
#include "support/ImageFixtures.h"
#include "support/LogCapture.h"
#include "support/ModalWatcher.h"
#include "support/RtfReading.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/ScriptedPanelPresenter.h"
#include "support/WidgetPictures.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

using lq::test::writeContents;
using namespace Qt::StringLiterals;

const QString kPlain = u"Plain text"_s, kRtf = u"Rich text (RTF)"_s,
              kRtfd = u"Rich text with images (RTFD)"_s, kAac = u"AAC Audio (.m4a)"_s;

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ExportTest : public lq::test::EditingTest
{
protected:
    // The next panel: picks format in its pop-up, notes what it offered, answers path.
    void chooseInPanel(const QString &format, const QString &path)
    {
        panels.choose([this, format, path](lq::FilePanel &panel) -> std::optional<QString> {
            auto *popUp = panel.accessoryView()->findChild<QComboBox *>();
            offered.clear();
            for (int i = 0; i < popUp->count(); ++i)
                offered.append(popUp->itemText(i));
            popUp->setCurrentIndex(popUp->findText(format));
            allowedWhileShown = panel.allowedExtensions();
            heldWhileShown = document->exportPanel() == &panel &&
                             document->exportFileTypes().size() == offered.size();
            return path;
        });
    }
    // The panel and its formats are held while it is shown, and let go after.
    void expectDialogCleared() const
    {
        EXPECT_TRUE(heldWhileShown);
        EXPECT_EQ(document->exportPanel(), nullptr);
        EXPECT_TRUE(document->exportFileTypes().isEmpty());
    }
    ExportProgressWindow &window() { return document->exportingProgressWindow(); }

    QTemporaryDir out;
    lq::test::ScriptedPanelPresenter panels;
    lq::test::ScriptedAlertPresenter alerts;
    lq::test::LogCapture log;
    QStringList offered, allowedWhileShown;
    bool heldWhileShown = false;
};

TEST_F(ExportTest, TheTextDialogWritesTheChosenFormatInPlaceOfWhatWasThere)
{
    const QString text = u"é 中\u00a0😀\n\uFFFC\nend"_s;
    const struct
    {
        bool withImage;
        QString format, name;
        QString before; // "old" an earlier export, "file" a file where a folder is needed
    } cases[] = {
        {false, kPlain, u"notes.txt"_s, {}},
        {true, kPlain, u"notes.txt"_s, u"old"_s},
        {false, kRtf, u"notes.rtf"_s, {}},
        {true, kRtf, u"notes.rtf"_s, u"old"_s},
        {true, kRtfd, u"notes.rtfd"_s, {}},
        {true, kRtfd, u"notes.rtfd"_s, u"old"_s},
        {true, kPlain, u"file/notes.txt"_s, u"file"_s},
        {true, kRtfd, u"file/notes.rtfd"_s, u"file"_s},
    };
    writeContents(out.filePath(u"file"_s), "a file");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString() + (c.withImage ? " with image" : ""));
        open(QString());
        lq::AttributedString note(u"é 中\u00a0😀\n"_s);
        lq::TextAttributes image;
        image.attachment = lq::TextAttachment{lq::test::pngBytes(Qt::red), u"red.png"_s, {}};
        if (c.withImage)
            note.append(u"\uFFFC"_s, image);
        note.append(u"\nend"_s, {});
        document->textStorage().setAttributedString(note);
        const QString path = out.filePath(c.name), withoutImage = QString(text).remove(u'\uFFFC');
        if (c.before == u"old" && c.format == kRtfd)
            writeContents(path + u"/stale.png"_s, "old");
        else if (c.before == u"old")
            writeContents(path, "old contents");
        const int alertsBefore = alerts.count();
        chooseInPanel(c.format, path);

        document->openExportTextDialog();

        EXPECT_EQ(offered, QStringList({kPlain, kRtf, kRtfd}).mid(0, c.withImage ? 3 : 2));
        EXPECT_EQ(allowedWhileShown, QStringList{QFileInfo(path).suffix()});
        expectDialogCleared();
        // A failure is told, a failed RTFD too; nothing is left beside the destination.
        const bool fails = c.before == u"file";
        ASSERT_EQ(alerts.count(), alertsBefore + (fails ? 1 : 0));
        EXPECT_EQ(
            QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{u"file"_s} + (fails ? QStringList() : QStringList{c.name}));
        if (fails) {
            EXPECT_FALSE(alerts.last().request.messageText.isEmpty());
        } else if (c.format == kPlain) { // no byte-order mark
            EXPECT_EQ(contents(path), (c.withImage ? text : withoutImage).toUtf8());
        } else if (c.format == kRtf) {
            EXPECT_EQ(lq::test::readRtf(contents(path)).text, withoutImage);
        } else {
            EXPECT_EQ(QDir(path).entryList(QDir::Files, QDir::Name),
                      QStringList({u"TXT.rtf"_s, u"red.png"_s}));
            EXPECT_EQ(contents(path + u"/red.png"_s), lq::test::pngBytes(Qt::red));
            EXPECT_TRUE(contents(path + u"/TXT.rtf"_s).contains("\\NeXTGraphic red.png "));
        }
        QDir(path).removeRecursively();
        QFile::remove(path);
    }
}

TEST_F(ExportTest, TheSlidesAreCopiedWhereverTheUserChooses)
{
    QTemporaryDir sources;
    const QString pdf = sources.filePath(u"slides.pdf"_s);
    ASSERT_TRUE(lq::test::writePdf(pdf, {{300, 200}, {300, 200}}));
    writeContents(out.filePath(u"file"_s), "a file");
    // The first note has no slides file yet.
    for (const char *t : {"no slides", "new file", "old file", "the slides", "link to the slides",
                          "blocked by a file"}) {
        SCOPED_TRACE(t);
        const QString target = t;
        open(u"abc"_s);
        if (target != u"no slides") {
            ASSERT_TRUE(recording().addSlides(pdf));
        }
        const QString slides = recording().slidesFileName();
        const QByteArray slidesBytes = contents(slides);
        QString path = out.filePath(u"out.pdf"_s);
        QFile::remove(path);
        if (target == u"old file")
            writeContents(path, "old");
        else if (target == u"the slides")
            path = slides;
        else if (target == u"link to the slides")
            QFile::link(slides, path);
        else if (target == u"blocked by a file")
            path = out.filePath(u"file/out.pdf"_s);
        const int alertsBefore = alerts.count();
        chooseInPanel(u"PDF"_s, path);

        document->openExportSlidesDialog();

        expectDialogCleared();
        const bool fails = target == u"blocked by a file" || target == u"no slides";
        ASSERT_EQ(alerts.count(), alertsBefore + (fails ? 1 : 0));
        if (!fails) {
            EXPECT_EQ(contents(slides), slidesBytes);
            EXPECT_EQ(contents(path), slidesBytes);
        } else if (target == u"no slides") {
            EXPECT_TRUE(alerts.last().request.messageText.contains(slides));
        }
    }
}

// The first export is cancelled; each one after starts at zero.
TEST_F(ExportTest, TheMediaFormatsFollowTheRecordingAndTheChosenOneIsExportedOrCancelled)
{
    const QString movie = u"QuickTime Movie (.mov)"_s;
    const QString audioMovie = u"QuickTime Movie - Audio Only (.mov)"_s;
    const struct
    {
        bool audio, video;
        QString format;
        QStringList offered;
        QStringList exported; // the export asked for, then its destination
    } cases[] = {
        {true, false, kAac, {audioMovie, kAac}, {u"m4a_export"_s, u"out.m4a"_s}},
        {true, false, kAac, {audioMovie, kAac}, {u"m4a_export"_s, u"out.m4a"_s}},
        {true, true, movie, {movie, audioMovie, kAac}, {u"mov_export"_s, u"out.mov"_s}},
        {false, true, audioMovie, {movie, audioMovie, kAac}, {u"mov_audio_export"_s, u"out.mov"_s}},
        {false, false, {}, {}, {}},
    };
    open(u"abc"_s);
    bool modalAtZero = false, cancel = true;
    QStringList exported;
    engines.onExport = [&](lq::test::FakePlaySession &engine) {
        modalAtZero = QApplication::activeModalWidget() == &window() && window().isVisible() &&
                      window().exportingProgressIndicator()->value() == 0;
        exported =
            QStringList{engine.exports.back().type,
                        QDir(out.path()).relativeFilePath(engine.exports.back().destination)};
        window().setProgress(0.4);
        window().setTimeRemainingText(u"1 minute"_s);
        if (!std::exchange(cancel, false))
            return;
        // The user's click, served by the engine's turn of the modal session.
        QTimer::singleShot(0, window().exportingButton(),
                           [&] { QTest::mouseClick(window().exportingButton(), Qt::LeftButton); });
        window().runModalSessionOnce();
        EXPECT_TRUE(engine.calls.contains(u"cancelExporting"_s));
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format.toStdString());
        recording().session(0)->setHasAudio(c.audio);
        recording().session(0)->setHasVideo(c.video);
        const qsizetype panelsBefore = panels.shown().size();
        offered.clear();
        exported.clear();
        if (!c.offered.isEmpty())
            chooseInPanel(c.format, out.filePath(u"out"_s));

        document->openExportMediaDialog();

        EXPECT_EQ(offered, c.offered);
        EXPECT_EQ(exported, c.exported);
        if (c.offered.isEmpty()) {
            EXPECT_EQ(panels.shown().size(), panelsBefore);
            EXPECT_TRUE(log.contains(
                u"Error - trying to export a file without audio or video. Cannot export."_s));
            continue;
        }
        expectDialogCleared();
        EXPECT_TRUE(modalAtZero);
        EXPECT_FALSE(window().isVisible());
        EXPECT_EQ(window().exportingProgressIndicator()->value(), 0);
    }
    EXPECT_FALSE(cancel);
}

TEST_F(ExportTest, PicturesOfTheTextExportDialogAndTheProgressWindow)
{
    open(u"abc"_s);
    lq::QtPanelPresenter qtPanels;
    lq::PanelPresenter *scripted = lq::PanelPresenter::setCurrent(&qtPanels);
    QImage dialogPicture;
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        dialog->resize(640, 420);
        for (QComboBox *box : dialog->findChildren<QComboBox *>())
            if (box->findText(kRtf) >= 0)
                box->setCurrentIndex(box->findText(kRtf));
        dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(out.filePath(u"typed"_s));
        QCoreApplication::processEvents();
        dialogPicture = dialog->grab().toImage();
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        for (QAbstractButton *button : buttons->buttons())
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
                QTest::mouseClick(button, Qt::LeftButton);
    });
    document->openExportTextDialog();
    lq::PanelPresenter::setCurrent(scripted);

    EXPECT_TRUE(QFile::exists(out.filePath(u"typed.rtf"_s)));
    window().setProgress(0.35);
    window().setTimeRemainingText(u"Less than 1 minute"_s);
    window().adjustSize();
    const QImage progressPicture = window().grab().toImage();
    const QString folder = QCoreApplication::applicationDirPath();
    EXPECT_TRUE(dialogPicture.save(folder + u"/export-text-dialog.png"_s));
    EXPECT_TRUE(progressPicture.save(folder + u"/export-progress-window.png"_s));
    EXPECT_GT(lq::test::colourCount(dialogPicture), 4);
    EXPECT_GT(lq::test::colourCount(progressPicture), 4);
}

} // namespace
