#pragma once

#include <QString>

#include <memory>
#include <vector>

class WrenRecording;
class WrenTimerSession;

// The dialog that imports an outside media file into a recording: it asks where the new session
// goes and hands the opened file to WrenRecording::insertMedia.
class MediaImportDialog
{
public:
    virtual ~MediaImportDialog() = default;
    // The recording's sessions when the import starts.
    virtual void setTimerSessions(std::vector<std::shared_ptr<WrenTimerSession>> sessions) = 0;
    // Runs the whole import; returns when its dialog has closed.
    virtual void importMediaFromFile(const QString &path) = 0;
};

// Makes the recording object's import dialog. The document layer installs one that makes its
// dialog; until then none is made and an import does nothing.
class MediaImportDialogFactory
{
public:
    virtual ~MediaImportDialogFactory() = default;
    // A dialog importing into owner, or null.
    virtual std::unique_ptr<MediaImportDialog> makeImportDialog(WrenRecording &owner) = 0;

    static MediaImportDialogFactory &current();
    // Installs a factory (nullptr restores the one that makes none); answers the previous one.
    static MediaImportDialogFactory *setCurrent(MediaImportDialogFactory *factory);
};
