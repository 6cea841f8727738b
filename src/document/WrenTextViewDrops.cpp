// The notes text view: copy and paste data, dragging text, and dropped files.

#include "document/PackageMember.h"
#include "document/WrenTextView.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/text/TextArchive.h"
#include "platform/text/TextStorage.h"
#include "platform/ui/AlertPresenter.h"
#include "shared/FileKinds.h"

#include <QApplication>
#include <QBuffer>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

using lq::AttributedString;
using lq::TextRange;

namespace {

const QString kTextMimeType = QStringLiteral("application/x-lumaquill-text");
const QString kUnnamedImage = QStringLiteral("pasted graphic.tiff");
constexpr QChar kAttachmentCharacter(0xFFFC);

// The drag carries file names: URLs, all of local files (an empty list counts).
bool carriesFileNames(const QMimeData *source)
{
    if (!source->hasUrls())
        return false;
    const QList<QUrl> urls = source->urls();
    return std::all_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

} // namespace

AttributedString WrenTextView::attachmentText(TextRange range, QByteArray bytes,
                                              const QString &fileName) const
{
    lq::TextAttributes attributes = attributesForNewText(range);
    attributes.attachment =
        lq::TextAttachment{std::move(bytes), fileName.isEmpty() ? kUnnamedImage : fileName, {}};
    return AttributedString(QString(kAttachmentCharacter), attributes);
}

// Image data without a file: kept as TIFF when Qt can write it, else as PNG.
AttributedString WrenTextView::pastedImageText(TextRange range, const QImage &image) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool tiff = QImageWriter::supportedImageFormats().contains("tiff");
    image.save(&buffer, tiff ? "TIFF" : "PNG");
    return attachmentText(range, bytes,
                          tiff ? kUnnamedImage : QStringLiteral("pasted graphic.png"));
}

QMimeData *WrenTextView::createMimeDataFromSelection() const
{
    QMimeData *data = QTextEdit::createMimeDataFromSelection();
    data->setData(kTextMimeType, lq::archivedText(m_storage.attributedSubstring(selectedRange())));
    return data;
}

bool WrenTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasFormat(kTextMimeType) || source->hasImage() ||
           QTextEdit::canInsertFromMimeData(source);
}

void WrenTextView::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly())
        return;
    const TextRange selection = selectedRange();
    if (source->hasFormat(kTextMimeType)) {
        if (std::optional<AttributedString> text =
                lq::unarchivedText(source->data(kTextMimeType))) {
            applyUserEdit(selection, *text);
            return;
        }
    }
    // Plain text takes the attributes around it, as typing does.
    if (source->hasText())
        applyUserEdit(selection, source->text());
    else if (source->hasImage())
        applyUserEdit(selection,
                      pastedImageText(selection, qvariant_cast<QImage>(source->imageData())));
}

void WrenTextView::mousePressEvent(QMouseEvent *event)
{
    // A press inside the selection may start a drag of it, which this view runs itself so that
    // moving the text out goes through the editing path.
    const TextRange selection = selectedRange();
    const qsizetype position = cursorForPosition(event->position().toPoint()).position();
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier &&
        selection.length > 0 && selection.contains(position)) {
        m_dragStart = event->position().toPoint();
        event->accept();
        return;
    }
    m_dragStart.reset();
    QTextEdit::mousePressEvent(event);
}

void WrenTextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragStart) {
        QTextEdit::mouseMoveEvent(event);
        return;
    }
    if ((event->position().toPoint() - *m_dragStart).manhattanLength() >=
        QApplication::startDragDistance()) {
        m_dragStart.reset();
        startDragOfSelection();
    }
    event->accept();
}

void WrenTextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragStart) {
        QTextEdit::mouseReleaseEvent(event);
        return;
    }
    m_dragStart.reset();
    setTextCursor(cursorForPosition(event->position().toPoint()));
    event->accept();
}

void WrenTextView::startDragOfSelection()
{
    const TextRange selection = selectedRange();
    auto *drag = new QDrag(this);
    QMimeData *data = createMimeDataFromSelection();
    m_ownDrag = data;
    drag->setMimeData(data);
    const Qt::DropActions actions =
        isReadOnly() ? Qt::CopyAction : Qt::DropActions(Qt::CopyAction | Qt::MoveAction);
    const Qt::DropAction action = drag->exec(actions, Qt::MoveAction);
    const QObject *target = drag->target();
    // A move into this view was made by its drop; a move elsewhere removes the text here.
    if (action == Qt::MoveAction && target != this && target != viewport() &&
        selectedRange() == selection)
        applyUserEdit(selection, QString());
}

void WrenTextView::dragEnterEvent(QDragEnterEvent *event)
{
    if (carriesFileNames(event->mimeData()) && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    QTextEdit::dragEnterEvent(event);
}

void WrenTextView::dragMoveEvent(QDragMoveEvent *event)
{
    QTextEdit::dragMoveEvent(event);
    if (carriesFileNames(event->mimeData()) && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void WrenTextView::dropEvent(QDropEvent *event)
{
    // Qt's drop caret goes away as when the drag leaves.
    QDragLeaveEvent leave;
    QTextEdit::dragLeaveEvent(&leave);
    const QMimeData *source = event->mimeData();
    const qsizetype position = cursorForPosition(event->position().toPoint()).position();
    bool done = false;
    if (carriesFileNames(source)) {
        done = dropFiles(source, position);
    } else if (isReadOnly()) {
        done = false;
    } else if (event->dropAction() == Qt::MoveAction && m_ownDrag && source == m_ownDrag) {
        done = moveSelectedText(position);
    } else {
        setSelectedRange({position, 0});
        insertFromMimeData(source);
        done = true;
    }
    if (done)
        event->acceptProposedAction();
    else
        event->ignore();
}

bool WrenTextView::dropFiles(const QMimeData *source, qsizetype position)
{
    const QList<QUrl> urls = source->urls();
    if (urls.size() != 1) {
        lq::AlertRequest alert;
        alert.messageText = urls.isEmpty()
                                ? QStringLiteral("Error - no files found")
                                : QStringLiteral("Error - Luma Quill can only accept 1 slides or "
                                                 "media file, but received %1 files")
                                      .arg(urls.size());
        lq::AlertPresenter::current().runModal(alert);
        return false;
    }
    const QString path = urls.front().toLocalFile();
    if (m_controller && (isSlidesFile(path) || isQTFile(path))) {
        m_controller->addPath(path);
        return true;
    }
    if (isReadOnly())
        return false;
    // Read first: a pipe or a huge file is refused before a reader looks for a picture in it.
    lq::Error error;
    std::optional<QByteArray> bytes =
        lq::readRegularFile(path, PackageMember::kMaxSize, lq::LinkHandling::Follow, &error);
    if (!bytes) {
        lq::log(QStringLiteral("Could not read the dropped file: %1")
                    .arg(error.localizedDescription()));
        return false;
    }
    QBuffer picture(&*bytes);
    if (!QImageReader(&picture).canRead())
        return false;
    const TextRange at{position, 0};
    return applyUserEdit(at, attachmentText(at, *bytes, QFileInfo(path).fileName()));
}
