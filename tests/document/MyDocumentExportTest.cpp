#include "document/EditingTestSupport.h"
#include "document/ExportProgressWindow.h"
#include "platform/pdf/PdfTestFiles.h"
#include "platform/text/RtfWriter.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

using lq::test::EditingTest;
using lq::test::ScriptedPanelPresenter;
using lq::test::writeContents;
using namespace Qt::StringLiterals;

const QString kPlain = u"Plain text"_s;
const QString kRtf = u"Rich text (RTF)"_s;
const QString kRtfd = u"Rich text with images (RTFD)"_s;
constexpr char16_t kImage = 0xFFFC;

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList itemsOf(const QComboBox &popUp)
{
    QStringList items;
    for (int i = 0; i < popUp.count(); ++i)
        items.append(popUp.itemText(i));
    return items;
}

class ExportTest : public EditingTest
{
protected:
    // "é 中", a no-break space and an emoji, then an image on a line of its own when asked.
    void openNote(bool withImage)
    {
        open(QString());
        lq::AttributedString text(u"é 中\u00a0😀\n"_s);
        if (withImage) {
            lq::TextAttributes image;
            image.attachment = lq::TextAttachment{lq::test::pngBytes(Qt::red), u"red.png"_s, {}};
            text.append(QString(QChar(kImage)), image);
        }
        text.append(u"\nend"_s, {});
        document->textStorage().setAttributedString(text);
    }

    // The next panel: picks format in its pop-up, notes what it offered, answers path.
    void chooseInPanel(const QString &format, const QString &path)
    {
        panels.choose([this, format, path](lq::FilePanel &panel) -> std::optional<QString> {
            auto *popUp = panel.accessoryView()->findChild<QComboBox *>();
            offered = itemsOf(*popUp);
            popUp->setCurrentIndex(popUp->findText(format));
            allowedWhileShown = panel.allowedExtensions();
            heldWhileShown = document->exportPanel() == &panel &&
                             document->exportFileTypes().size() == offered.size();
            return path;
        });
    }

    void expectDialogCleared() const
    {
        EXPECT_TRUE(heldWhileShown);
        EXPECT_EQ(document->exportPanel(), nullptr);
        EXPECT_TRUE(document->exportFileTypes().isEmpty());
    }

    QString target(const QString &name) const { return out.filePath(name); }

    QTemporaryDir out;
    ScriptedPanelPresenter panels;
    lq::test::ScriptedAlertPresenter alerts;
    lq::test::LogCapture log;
    QStringList offered;
    QStringList allowedWhileShown;
    bool heldWhileShown = false;
};

TEST_F(ExportTest, TheTextDialogWritesTheChosenFormatInPlaceOfWhatWasThere)
{
    const QString text = u"é 中\u00a0😀\n\uFFFC\nend"_s;
    enum class Before { Nothing, OldExport, FileAsFolder };
    struct Case
    {
        bool withImage;
        QString format;
        QString name;
        Before before;
    };
    const Case cases[] = {
        {false, kPlain, u"notes.txt"_s, Before::Nothing},
        {true, kPlain, u"notes.txt"_s, Before::OldExport},
        {false, kRtf, u"notes.rtf"_s, Before::Nothing},
        {true, kRtf, u"notes.rtf"_s, Before::OldExport},
        {true, kRtfd, u"notes.rtfd"_s, Before::Nothing},
        {true, kRtfd, u"notes.rtfd"_s, Before::OldExport},
        {true, kPlain, u"file/notes.txt"_s, Before::FileAsFolder},
        {true, kRtfd, u"file/notes.rtfd"_s, Before::FileAsFolder},
    };
    writeContents(target(u"file"_s), "a file");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString() + (c.withImage ? " with image" : ""));
        openNote(c.withImage);
        const QString expected = c.withImage ? text : QString(text).remove(u"\uFFFC"_s);
        const QString path = target(c.name);
        if (c.before == Before::OldExport && c.format == kRtfd) {
            QDir().mkpath(path);
            writeContents(path + u"/stale.png"_s, "old");
        } else if (c.before == Before::OldExport) {
            writeContents(path, "old contents");
        }
        const int alertsBefore = alerts.count();
        chooseInPanel(c.format, path);

        document->openExportTextDialog();

        EXPECT_EQ(panels.shown().last().title, u"Export Text"_s);
        EXPECT_EQ(offered,
                  c.withImage ? QStringList({kPlain, kRtf, kRtfd}) : QStringList({kPlain, kRtf}));
        EXPECT_EQ(allowedWhileShown, QStringList{QFileInfo(path).suffix()});
        expectDialogCleared();
        // A failure is told, a failed RTFD too; nothing is left beside the destination.
        const bool fails = c.before == Before::FileAsFolder;
        ASSERT_EQ(alerts.count(), alertsBefore + (fails ? 1 : 0));
        EXPECT_EQ(
            QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{u"file"_s} + (fails ? QStringList() : QStringList{c.name}));
        if (fails) {
            EXPECT_FALSE(alerts.last().request.messageText.isEmpty());
            EXPECT_EQ(alerts.last().request.buttons, QStringList{u"OK"_s});
        } else if (c.format == kPlain) {
            EXPECT_EQ(contents(path), expected.toUtf8()); // no byte-order mark
        } else if (c.format == kRtf) {
            EXPECT_EQ(lq::test::readRtf(contents(path)).text,
                      QString(expected).remove(u"\uFFFC"_s));
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
    enum class Target { NewFile, OldFile, SlidesFile, LinkToSlides, BlockedByFile, NoSlides };
    // First: the note's folder has no slides file yet.
    const Target targets[] = {Target::NoSlides,   Target::NewFile,      Target::OldFile,
                              Target::SlidesFile, Target::LinkToSlides, Target::BlockedByFile};
    QTemporaryDir sources;
    const QString pdf = sources.filePath(u"slides.pdf"_s);
    ASSERT_TRUE(lq::test::writePdf(pdf, {{300, 200}, {300, 200}}));
    writeContents(target(u"file"_s), "a file");
    for (const Target t : targets) {
        SCOPED_TRACE(int(t));
        open(u"abc"_s);
        if (t != Target::NoSlides) {
            ASSERT_TRUE(recording().addSlides(pdf));
        }
        const QString slides = recording().slidesFileName();
        const QByteArray slidesBytes = contents(slides);
        QString path = target(u"out.pdf"_s);
        QFile::remove(path);
        if (t == Target::OldFile)
            writeContents(path, "old");
        if (t == Target::SlidesFile)
            path = slides;
        if (t == Target::LinkToSlides)
            QFile::link(slides, path);
        if (t == Target::BlockedByFile)
            path = target(u"file/out.pdf"_s);
        const int alertsBefore = alerts.count();
        chooseInPanel(u"PDF"_s, path);

        document->openExportSlidesDialog();

        EXPECT_EQ(panels.shown().last().title, u"Export Slides"_s);
        EXPECT_EQ(offered, QStringList{u"PDF"_s});
        expectDialogCleared();
        const bool fails = t == Target::BlockedByFile || t == Target::NoSlides;
        ASSERT_EQ(alerts.count(), alertsBefore + (fails ? 1 : 0));
        if (!fails) {
            EXPECT_EQ(contents(slides), slidesBytes);
            EXPECT_EQ(contents(path), slidesBytes);
        }
        if (t == Target::NoSlides) {
            const lq::AlertRequest &alert = alerts.last().request;
            EXPECT_TRUE(alert.messageText.contains(slides));
            EXPECT_EQ(alert.buttons, QStringList{u"OK"_s});
            lq::Error error;
            EXPECT_FALSE(document->exportToPDFFile(path, &error));
            EXPECT_EQ(error.domain(), u"exporting"_s);
            EXPECT_EQ(error.code(), 11);
            EXPECT_EQ(error.localizedDescription(),
                      u"Error exporting, there seems to be something wrong with the slides "
                      "file at %1\n"_s.arg(slides));
            EXPECT_EQ(error.recoveryOptions(), QStringList{u"OK"_s});
        }
    }
}

class MediaExportTest : public ExportTest
{
protected:
    void openRecording(bool audio, bool video)
    {
        open(u"abc"_s);
        recording().session(0)->setHasAudio(audio);
        recording().session(0)->setHasVideo(video);
    }
    ExportProgressWindow &window() { return document->exportingProgressWindow(); }
};

TEST_F(MediaExportTest, TheFormatsFollowTheRecordedMediaAndTheChosenOneIsExported)
{
    const QString movie = u"QuickTime Movie (.mov)"_s;
    const QString audioMovie = u"QuickTime Movie - Audio Only (.mov)"_s;
    const QString aac = u"AAC Audio (.m4a)"_s;
    struct Case
    {
        bool audio;
        bool video;
        QString format;
        QStringList offered;
        QString type;
    };
    const Case cases[] = {
        {true, false, aac, {audioMovie, aac}, u"m4a_export"_s},
        {true, false, audioMovie, {audioMovie, aac}, u"mov_audio_export"_s},
        {true, true, movie, {movie, audioMovie, aac}, u"mov_export"_s},
        {false, true, audioMovie, {movie, audioMovie, aac}, u"mov_audio_export"_s},
        {false, false, {}, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format.toStdString());
        openRecording(c.audio, c.video);
        const int panelsBefore = int(panels.shown().size());
        offered.clear();
        const QString path = target(u"out"_s);
        bool modalWhileExporting = false;
        QStringList exported; // type and destination of each export
        engines.onExport = [&](lq::test::FakePlaySession &engine) {
            modalWhileExporting = QApplication::activeModalWidget() == &window() &&
                                  window().isVisible() &&
                                  window().exportingProgressIndicator()->value() == 0;
            for (const auto &request : engine.exports)
                exported << request.type << request.destination;
        };
        if (!c.offered.isEmpty())
            chooseInPanel(c.format, path);

        document->openExportMediaDialog();

        EXPECT_EQ(offered, c.offered);
        if (c.offered.isEmpty()) {
            EXPECT_EQ(panels.shown().size(), panelsBefore);
            EXPECT_TRUE(log.contains(
                u"Error - trying to export a file without audio or video. Cannot export."_s));
            continue;
        }
        EXPECT_EQ(panels.shown().last().title, u"Export Audio/Video"_s);
        expectDialogCleared();
        EXPECT_EQ(exported, QStringList({c.type, path + (c.type == u"m4a_export"_s ? u".m4a"_s
                                                                                   : u".mov"_s)}));
        EXPECT_TRUE(modalWhileExporting);
        EXPECT_FALSE(window().isVisible());
    }
}

TEST_F(MediaExportTest, CancelStopsTheExportAndTheNextOneStartsAtZero)
{
    openRecording(true, false);
    QList<int> startedAt;
    int turn = 0;
    engines.onExport = [&](lq::test::FakePlaySession &engine) {
        startedAt.append(window().exportingProgressIndicator()->value());
        window().setProgress(0.4);
        window().setTimeRemainingText(u"1 minute"_s);
        if (turn++ == 0) {
            // The user's click, served by the engine's turn of the modal session.
            QTimer::singleShot(0, window().exportingButton(), [&] {
                QTest::mouseClick(window().exportingButton(), Qt::LeftButton);
            });
            window().runModalSessionOnce();
            EXPECT_TRUE(engine.calls.contains(u"cancelExporting"_s));
        }
    };
    for (int i = 0; i < 2; ++i) {
        chooseInPanel(u"AAC Audio (.m4a)"_s, target(u"out.m4a"_s));
        document->openExportMediaDialog();
        EXPECT_FALSE(window().isVisible());
        EXPECT_EQ(window().exportingProgressIndicator()->value(), 0);
        expectDialogCleared();
    }
    EXPECT_EQ(startedAt, QList<int>({0, 0}));
}

TEST_F(ExportTest, PicturesOfTheTextExportDialogAndTheProgressWindow)
{
    openNote(true);
    lq::QtPanelPresenter qtPanels;
    lq::PanelPresenter *scripted = lq::PanelPresenter::setCurrent(&qtPanels);
    const QString path = target(u"typed.rtf"_s);
    QImage dialogPicture;
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        dialog->resize(640, 420);
        for (QComboBox *box : dialog->findChildren<QComboBox *>())
            if (box->findText(kRtfd) >= 0)
                box->setCurrentIndex(box->findText(kRtf));
        dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(target(u"typed"_s));
        QCoreApplication::processEvents();
        dialogPicture = dialog->grab().toImage();
        for (QAbstractButton *button : dialog->findChild<QDialogButtonBox *>()->buttons())
            if (dialog->findChild<QDialogButtonBox *>()->buttonRole(button) ==
                QDialogButtonBox::AcceptRole)
                QTest::mouseClick(button, Qt::LeftButton);
    });
    document->openExportTextDialog();
    lq::PanelPresenter::setCurrent(scripted);

    EXPECT_TRUE(QFile::exists(path));
    ExportProgressWindow &progress = document->exportingProgressWindow();
    progress.setProgress(0.35);
    progress.setTimeRemainingText(u"Less than 1 minute"_s);
    progress.adjustSize();
    const QImage progressPicture = progress.grab().toImage();
    const QString folder = QCoreApplication::applicationDirPath();
    EXPECT_TRUE(dialogPicture.save(folder + u"/export-text-dialog.png"_s));
    EXPECT_TRUE(progressPicture.save(folder + u"/export-progress-window.png"_s));
    EXPECT_GT(lq::test::colourCount(dialogPicture), 4);
    EXPECT_GT(lq::test::colourCount(progressPicture), 4);
}

} // namespace
