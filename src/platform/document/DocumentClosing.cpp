// Closing a document: the decision, with its questions, and the close itself.
#include "platform/document/Document.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/PanelPresenter.h"

#include <QTimer>

namespace lq {

namespace {

enum SaveChangesButton { kSave = 0, kDontSave = 1, kCancel = 2 };

void tellNotSaved(const QString &name, const Error &error)
{
    AlertRequest failure;
    failure.style = AlertRequest::Style::Critical;
    failure.messageText =
        Document::tr("The document “%1” could not be saved, so it stays open.").arg(name);
    failure.informativeText = error.descriptionWithCause();
    AlertPresenter::current().runModal(failure);
}

} // namespace

void Document::closeWhenAllowed(std::function<void(bool closed)> done)
{
    if (isClosed()) {
        if (done)
            done(true);
        return;
    }
    // The decision looks at what is saved: saves running now end first.
    waitForSaves();
    canCloseDocument([this, done = std::move(done)](bool shouldClose) {
        if (shouldClose)
            close();
        if (done)
            done(shouldClose && isClosed());
    });
}

void Document::canCloseDocument(std::function<void(bool shouldClose)> decision)
{
    if (!isDocumentEdited()) {
        discardAutosavedContents();
        decision(true);
        return;
    }
    if (!fileUrl().isEmpty()) {
        // A document with a file keeps its changes there, as its autosaves do.
        saveThenDecide(decision);
        return;
    }
    AlertRequest question;
    question.messageText =
        tr("Do you want to save the changes made to the document “%1”?").arg(displayName());
    question.informativeText = tr("Your changes will be lost if you don't save them.");
    question.buttons = {tr("Save…"), tr("Don't Save"), tr("Cancel")};
    const auto answered = [this, decision](const AlertResponse &response) {
        saveBeforeClose(response.buttonIndex, decision);
    };
    if (QWidget *window = windowForSheet())
        AlertPresenter::current().beginSheet(question, window, answered);
    else
        answered(AlertPresenter::current().runModal(question));
}

void Document::saveBeforeClose(int button, const std::function<void(bool)> &decision)
{
    if (button == kDontSave) {
        discardAutosavedContents();
        decision(true);
        return;
    }
    if (button != kSave) {
        decision(false);
        return;
    }
    FilePanel panel(FilePanel::Kind::Save);
    if (!prepareSavePanel(panel)) {
        decision(false);
        return;
    }
    const std::optional<QString> path = PanelPresenter::current().runModal(panel);
    if (!path) {
        decision(false);
        return;
    }
    saveToUrl(*path, SaveOperation::SaveAs, [this, decision](bool saved, const Error &error) {
        if (!saved) {
            tellNotSaved(displayName(), error);
            decision(false);
            return;
        }
        if (isDocumentEdited())
            saveThenDecide(decision);
        else
            decision(true);
    });
}

void Document::saveThenDecide(const std::function<void(bool)> &decision)
{
    save([this, decision](bool saved, const Error &error) {
        if (!saved) {
            tellNotSaved(displayName(), error);
            decision(false);
        } else if (isDocumentEdited()) {
            saveThenDecide(decision);
        } else {
            decision(true);
        }
    });
}

bool Document::prepareSavePanel(FilePanel &panel)
{
    if (!fileExtension().isEmpty())
        panel.setAllowedExtensions({fileExtension()});
    return true;
}

void Document::close()
{
    if (isClosed())
        return;
    // Closed first: nothing started while the document lets go of its things (an autosave, a
    // delayed call) finds it open.
    m_closed = true;
    if (m_autosaveTimer)
        m_autosaveTimer->stop();
    waitForSaves();
    prepareForClose();
    Q_EMIT closed();
}

} // namespace lq
