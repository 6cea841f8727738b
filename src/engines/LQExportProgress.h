#pragma once

#include <QString>

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
