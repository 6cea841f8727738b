#pragma once

#include <QString>

#include <optional>

// The caller's export progress window while an engine exports: its bar, its time-remaining field
// and its modal session, which the engine keeps serving between steps of the export.
class LQExportProgress
{
public:
    virtual ~LQExportProgress() = default;
    virtual void setProgress(double fraction) = 0; // 0 to 1
    virtual void setTimeRemainingText(const QString &text) = 0;
    // Handles the window's pending events once (its cancel button among them).
    virtual void runModalSessionOnce() = 0;
};

// The time-remaining text when fraction of an export is done after elapsedSeconds: "Finishing",
// "Less than 1 minute", "1 minute" or "<n> minutes". None (the text stays as it is) while no
// estimate exists, and for one of more than 9,999 minutes.
std::optional<QString> exportTimeRemainingText(double fraction, double elapsedSeconds);
