#include "window/FileDrop.h"

#include "document/DocumentWindowController.h"
#include "platform/ui/AlertPresenter.h"
#include "shared/FileKinds.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace file_drop {

namespace {

QStringList droppedFiles(const QMimeData &data)
{
    QStringList files;
    for (const QUrl &url : data.urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("FileDrop", text);
}

void tellWrongCount(qsizetype count)
{
    lq::AlertRequest alert;
    alert.messageText = count == 0 ? tr("Error - no files found")
                                   : tr("Error - Luma Quill can only accept 1 slides or media "
                                        "file, but received %1 files")
                                         .arg(count);
    lq::AlertPresenter::current().runModal(alert);
}

// A slides or media file that is there to be read: folders and files gone since the drag
// started are refused.
bool isAddable(const QString &path)
{
    return QFileInfo(path).isFile() && (isSlidesFile(path) || isQTFile(path));
}

} // namespace

bool dragEntered(QDragEnterEvent &event)
{
    if ((event.possibleActions() & Qt::CopyAction) == 0 || !event.mimeData()->hasUrls())
        return false;
    event.setDropAction(Qt::CopyAction);
    event.accept();
    return true;
}

bool dropped(QDropEvent &event, DocumentWindowController *controller)
{
    const QMimeData &data = *event.mimeData();
    if (!data.hasUrls())
        return false;
    event.ignore();
    const QStringList files = droppedFiles(data);
    if (files.size() != 1) {
        tellWrongCount(files.size());
        return true;
    }
    if (controller && isAddable(files.first())) {
        controller->addPath(files.first());
        event.setDropAction(Qt::CopyAction);
        event.accept();
        return true;
    }
    return !data.hasImage();
}

} // namespace file_drop
