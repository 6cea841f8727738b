// The note's exports: its text as plain text, RTF or RTFD, its slides as a PDF and its recording
// as one media file.
#include "document/ExportProgressWindow.h"
#include "document/MyDocument.h"
#include "engines/LQExportTypes.h"
#include "model/WrenRecording.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/text/RtfWriter.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/PanelPresenter.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

struct MyDocument::ExportChoice
{
    QString path;
    QString title; // of the format chosen in the pop-up
};

namespace {

using Writer = bool (MyDocument::*)(const QString &, lq::Error *);

struct TextFormat
{
    ExportFormat format;
    Writer writer;
    bool needsImages; // offered only when the text has images
};

const QList<TextFormat> &textFormats()
{
    static const QList<TextFormat> formats{
        {{QStringLiteral("Plain text"), QStringLiteral("txt")},
         &MyDocument::exportToPlainTextFile,
         false},
        {{QStringLiteral("Rich text (RTF)"), QStringLiteral("rtf")},
         &MyDocument::exportToRTF,
         false},
        {{QStringLiteral("Rich text with images (RTFD)"), QStringLiteral("rtfd")},
         &MyDocument::exportToRTFD,
         true},
    };
    return formats;
}

struct MediaFormat
{
    ExportFormat format;
    QLatin1StringView type;
    bool needsVideo; // offered only when the recording has video
};

const QList<MediaFormat> &mediaFormats()
{
    static const QList<MediaFormat> formats{
        {{QStringLiteral("QuickTime Movie (.mov)"), QStringLiteral("mov")}, kMovExportType, true},
        {{QStringLiteral("QuickTime Movie - Audio Only (.mov)"), QStringLiteral("mov")},
         kMovAudioExportType,
         false},
        {{QStringLiteral("AAC Audio (.m4a)"), QStringLiteral("m4a")}, kM4aExportType, false},
    };
    return formats;
}

const ExportFormat kSlidesFormat{QStringLiteral("PDF"), QStringLiteral("pdf")};

void logInvalidFileType(const QString &title)
{
    lq::log(QStringLiteral("Program error, cannot export to %1, invalid file type\n").arg(title));
}

template <class Format>
const Format *formatTitled(const QList<Format> &formats, const QString &title)
{
    const auto found = std::find_if(formats.begin(), formats.end(),
                                    [&title](const Format &f) { return f.format.name == title; });
    if (found != formats.end())
        return &*found;
    logInvalidFileType(title);
    return nullptr;
}

bool hasImages(const lq::AttributedString &text)
{
    return std::any_of(text.runs().begin(), text.runs().end(),
                       [](const auto &run) { return run.attributes.attachment.has_value(); });
}

void showExportError(const lq::Error &error)
{
    lq::AlertRequest alert;
    alert.messageText = error.descriptionWithCause().trimmed();
    alert.buttons = error.recoveryOptions();
    lq::AlertPresenter::current().runModal(alert);
}

// Writes data beside path, then puts it in path's place.
bool writeReplacing(const QString &path, const QByteArray &data, lq::Error *error)
{
    lq::FileOperations &files = lq::FileOperations::current();
    const QString temporary = lq::temporaryPathBeside(path);
    if (!files.writeFile(temporary, data, error))
        return false;
    if (files.replace(temporary, path, error))
        return true;
    files.remove(temporary, nullptr);
    return false;
}

} // namespace

std::optional<MyDocument::ExportChoice>
MyDocument::runExportDialog(const QString &title, const QList<ExportFormat> &formats)
{
    m_exportFileTypes = formats;
    ExportDialog dialog = createExportDialog(title, formats);
    m_exportPanel = std::move(dialog.panel);
    const std::optional<QString> path = lq::PanelPresenter::current().runModal(*m_exportPanel);
    if (!path)
        return std::nullopt;
    return ExportChoice{*path, dialog.formatPopUp->currentText()};
}

void MyDocument::clearExportDialog()
{
    m_exportPanel.reset();
    m_exportFileTypes.clear();
}

void MyDocument::openExportTextDialog()
{
    const bool images = hasImages(m_textStorage.attributedString());
    QList<TextFormat> offered;
    QList<ExportFormat> formats;
    for (const TextFormat &format : textFormats()) {
        if (images || !format.needsImages) {
            offered.append(format);
            formats.append(format.format);
        }
    }
    if (const std::optional<ExportChoice> choice = runExportDialog(tr("Export Text"), formats)) {
        lq::Error error;
        const TextFormat *format = formatTitled(offered, choice->title);
        if (format && !(this->*format->writer)(choice->path, &error) && !error.isNull())
            showExportError(error);
    }
    clearExportDialog();
}

void MyDocument::openExportSlidesDialog()
{
    if (const std::optional<ExportChoice> choice =
            runExportDialog(tr("Export Slides"), {kSlidesFormat})) {
        lq::Error error;
        if (choice->title != kSlidesFormat.name)
            logInvalidFileType(choice->title);
        else if (!exportToPDFFile(choice->path, &error) && !error.isNull())
            showExportError(error);
    }
    clearExportDialog();
}

void MyDocument::openExportMediaDialog()
{
    WrenRecording &recording = recordingObject();
    const bool video = recording.hasVideo();
    if (!video && !recording.hasAudio()) {
        lq::log(QStringLiteral(
            "Error - trying to export a file without audio or video. Cannot export.\n"));
        return;
    }
    QList<MediaFormat> offered;
    QList<ExportFormat> formats;
    for (const MediaFormat &format : mediaFormats()) {
        if (video || !format.needsVideo) {
            offered.append(format);
            formats.append(format.format);
        }
    }
    if (const std::optional<ExportChoice> choice =
            runExportDialog(tr("Export Audio/Video"), formats)) {
        ExportProgressWindow &window = exportingProgressWindow();
        window.beginModalSession();
        if (const MediaFormat *format = formatTitled(offered, choice->title))
            recording.exportMedia(choice->path, format->type, window);
        window.endModalSession();
    }
    clearExportDialog();
}

void MyDocument::exportingButtonPressed()
{
    recordingObject().cancelExporting();
}

ExportProgressWindow &MyDocument::exportingProgressWindow()
{
    if (!m_exportingProgressWindow) {
        m_exportingProgressWindow = std::make_unique<ExportProgressWindow>();
        connect(m_exportingProgressWindow.get(), &ExportProgressWindow::cancelClicked, this,
                &MyDocument::exportingButtonPressed);
    }
    return *m_exportingProgressWindow;
}

bool MyDocument::exportToPlainTextFile(const QString &path, lq::Error *error)
{
    return writeReplacing(path, m_textStorage.string().toUtf8(), error);
}

bool MyDocument::exportToRTF(const QString &path, lq::Error *error)
{
    return writeReplacing(path, lq::rtfFromText(m_textStorage.attributedString()), error);
}

bool MyDocument::exportToRTFD(const QString &path, lq::Error *error)
{
    const lq::RtfdFolder rtfd = lq::rtfdFromText(m_textStorage.attributedString());
    lq::FileOperations &files = lq::FileOperations::current();
    const QString temporary = lq::temporaryPathBeside(path);
    const QDir folder(temporary);
    bool written =
        files.makeFolder(temporary, error) &&
        files.writeFile(folder.filePath(QLatin1String(lq::kRtfdTextFileName)), rtfd.rtf, error);
    for (const lq::RtfdFolder::File &image : rtfd.images)
        written = written && files.writeFile(folder.filePath(image.name), image.data, error);
    // An old export there is swapped out in one step, then removed with what failed.
    written = written && (files.exists(path) ? files.exchange(temporary, path, error)
                                             : files.move(temporary, path, error));
    if (files.exists(temporary))
        files.remove(temporary, nullptr);
    return written;
}

bool MyDocument::exportToPDFFile(const QString &path, lq::Error *error)
{
    const QString slides = recordingObject().slidesFileName();
    const QFileInfo slidesInfo(slides);
    if (slides.isEmpty() || !slidesInfo.exists() || slidesInfo.isDir()) {
        lq::setError(error, lq::Error(QStringLiteral("exporting"), 11,
                                      tr("Error exporting, there seems to be something wrong "
                                         "with the slides file at %1\n")
                                          .arg(slides)));
        return false;
    }
    lq::FileOperations &files = lq::FileOperations::current();
    // Exporting the slides onto themselves: already there.
    if (files.isSameFile(slides, path))
        return true;
    const QString temporary = lq::temporaryPathBeside(path);
    if (!files.copy(slides, temporary, error))
        return false;
    const QFileInfo target(path);
    if (target.isDir() && !target.isSymLink())
        files.remove(path, nullptr);
    if (files.replace(temporary, path, error))
        return true;
    files.remove(temporary, nullptr);
    return false;
}
