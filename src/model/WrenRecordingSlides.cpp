// Adding and removing a note's slides, with undo steps that bring the file back byte for byte.
#include "model/RecordingWindowController.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenRecordingInternals.h"
#include "model/WrenTimeStamp.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UndoManager.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kSlidesChanged = QStringLiteral("slides_changed");

} // namespace

std::optional<QString> WrenRecording::keepSlidesUndoCopy() const
{
    const QString folder = tempDir();
    if (folder.isEmpty() || !QFileInfo(folder).isDir() || !hasSlides())
        return std::nullopt;
    lq::FileOperations &files = lq::FileOperations::current();
    QString copy;
    for (int k = 0;; ++k) {
        copy = QDir(folder).filePath(QStringLiteral("%1.slides.pdf").arg(k));
        if (!files.exists(copy))
            break;
    }
    lq::Error error;
    if (!files.copy(m_slides.path(), copy, &error)) {
        lq::log(QStringLiteral("Failed to keep a copy of the slides for undo: %1\n")
                    .arg(error.localizedDescription()));
        return std::nullopt;
    }
    return copy;
}

bool WrenRecording::takeSavedSlidesToTemp()
{
    const QString saved = slidesFileName();
    m_slidesSaved = false;
    const QString temporary = slidesFileName();
    lq::Error error;
    if (!temporary.isEmpty() && wren_recording::copyReplacing(saved, temporary, &error))
        return true;
    m_slidesSaved = true;
    lq::log(QStringLiteral("Error copying slides file for merge: %1\n")
                .arg(temporary.isEmpty() ? QStringLiteral("no temporary folder")
                                         : error.localizedDescription()));
    return false;
}

void WrenRecording::stampFirstSlide()
{
    if (recording() || playing() || sessionCount() == 0 || m_events->lastSlideEvent())
        return;
    m_events->insertEvent(WrenTimeStamp::initWithSlide(1, 0, 0.0), false);
}

bool WrenRecording::addSlides(const QString &path, int mode)
{
    if (playing() && currentSession() < 0)
        return false;
    const bool hadSlides = hasSlides();
    const bool savedBefore = m_slidesSaved;
    const QString pathBefore = m_slides.path();
    lq::UndoManager *undo = ownerUndoManager();

    // The old slides are kept for the undo step before anything changes; the slides object
    // changes its file only when the new one is complete, so a failure leaves it as it was.
    std::optional<QString> undoCopy;
    bool ready = true;
    if (hadSlides && undo) {
        undoCopy = keepSlidesUndoCopy();
        ready = undoCopy.has_value();
    }
    bool tookSavedSlides = false;
    if (ready && hadSlides && m_slidesSaved) {
        if (mode == WrenSlides::kReplaceMode) {
            // The package keeps its file until the next save.
            m_slidesSaved = false;
        } else {
            ready = takeSavedSlidesToTemp();
            tookSavedSlides = ready;
        }
    }
    m_slides.setPath(ready ? slidesFileName() : pathBefore);
    const bool added = ready && !m_slides.path().isEmpty() && m_slides.addSlides(path, mode);

    if (added) {
        if (m_controller) {
            m_controller->setSlidesPath(m_slides.path());
            // Part of adding, not a slide change of its own to undo.
            m_controller->gotoSlide(1, false);
            m_controller->expandSlidesSection();
        }
        stampFirstSlide();
        if (undoCopy)
            registerUndo([this, copy = *undoCopy] { addSlides(copy); });
        registerUndo([this] { removeSlides(); });
        if (undo)
            undo->setActionName(QStringLiteral("Add Slides"));
    } else {
        m_slidesSaved = savedBefore;
        m_slides.setPath(hadSlides ? pathBefore : QString());
        lq::FileOperations &files = lq::FileOperations::current();
        if (undoCopy)
            files.remove(*undoCopy, nullptr);
        if (tookSavedSlides)
            files.remove(QDir(tempDir()).filePath(QStringLiteral("slides.pdf")), nullptr);
    }
    finishAddingSlides(path, added);
    return added;
}

void WrenRecording::finishAddingSlides(const QString &source, bool added)
{
    // An undo copy that is back in place is not needed any more; after a failure it stays, as
    // the only copy of those slides.
    const QString folder = tempDir();
    if (added && !folder.isEmpty() &&
        QFileInfo(source).absolutePath() == QDir(folder).absolutePath() &&
        QFileInfo(source).absoluteFilePath() != QFileInfo(m_slides.path()).absoluteFilePath()) {
        lq::Error error;
        if (!lq::FileOperations::current().remove(source, &error))
            lq::log(QStringLiteral("Failed to delete temporary file %1: %2\n")
                        .arg(source, error.localizedDescription()));
    }
    lq::NotificationCenter::defaultCenter().post(kSlidesChanged, m_owner);
}

void WrenRecording::removeSlidesForReal(bool forReal)
{
    if (!ownerUndoManager()) {
        // Nothing to undo with: no copy is needed.
        removeSlides(QString(), forReal);
        return;
    }
    if (const std::optional<QString> copy = keepSlidesUndoCopy())
        removeSlides(*copy, forReal);
}

void WrenRecording::removeSlides(const QString &copy, bool forReal)
{
    if (forReal) {
        if (m_controller)
            m_controller->removeSlidesFile();
        // A saved note's package file stays until the next save.
        if (m_slidesSaved)
            m_slidesSaved = false;
        else
            m_slides.removeSlides();
        m_slides.setPath(QString());
        lq::NotificationCenter::defaultCenter().post(kSlidesChanged, m_owner);
    }
    lq::UndoManager *undo = ownerUndoManager();
    if (!undo || copy.isEmpty())
        return;
    registerUndo([this, copy] { addSlides(copy); });
    if (!undo->isUndoing())
        undo->setActionName(QStringLiteral("Remove Slides"));
}
