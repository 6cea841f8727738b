#pragma once

#include "model/ImportedMovie.h"
#include "model/MediaImportDialog.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class ImportMediaWindow;
class ImportProgressWindow;
class ImportTarget;
class OldMediaConverter;

namespace lq {
class Error;
}

// Imports an outside media file into a note: opens it, asks where the new session goes (before
// the sessions, after them or in place of all of them), converts a file the player cannot play,
// waits for the media layer to read it and hands it to the target. One import at a time; main
// thread.
class ImportMediaController final : public QObject, public MediaImportDialog
{
    Q_OBJECT

public:
    explicit ImportMediaController(std::unique_ptr<ImportTarget> target);
    ~ImportMediaController() override;

    void setTimerSessions(std::vector<std::shared_ptr<WrenTimerSession>> sessions) override;
    // Without sessions the file goes in at the beginning and this returns once the loading has
    // started; otherwise it returns when the dialog has closed.
    void importMediaFromFile(const QString &path) override;

    bool importing() const { return m_stage != Stage::Idle; }
    // The windows of the latest import, or null.
    ImportMediaWindow *importMediaWindow() const { return m_importMediaWindow.get(); }
    ImportProgressWindow *processingProgressWindow() const
    {
        return m_processingProgressWindow.get();
    }

private:
    enum class Stage { Idle, Opening, Choosing, Converting, Loading, Inserting };

    void fillDialog();
    void radioButtonPressed(int id);
    void okButtonPressed();
    void cancelButtonPressed();
    void importMediaAtBeginning(bool atBeginning, bool replace);
    // Converts the incoming file when the player cannot play it; false when that fails.
    bool convertIfUnplayable(int32_t session);
    void importMediaSecondPhase(bool atBeginning, bool replace);
    void cleanup();
    bool dialogVisible() const;
    int32_t sessionCount() const;

    std::unique_ptr<ImportTarget> m_target;
    std::optional<std::vector<std::shared_ptr<WrenTimerSession>>> m_timerSessions;
    std::unique_ptr<ImportMediaWindow> m_importMediaWindow;
    std::unique_ptr<ImportProgressWindow> m_processingProgressWindow;
    QString m_incomingFilename;
    std::optional<ImportedMovie> m_incomingMovie;
    QString m_convertedFile; // a converted copy of the incoming file, made by this import
    std::unique_ptr<OldMediaConverter> m_oldConverter;
    Stage m_stage = Stage::Idle;
    bool m_shouldCancelImporting = false;
    uint64_t m_importNumber = 0; // tells a late answer of an earlier import's loading
};
