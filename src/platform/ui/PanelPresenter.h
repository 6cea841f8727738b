#pragma once

#include <QString>

#include <optional>

namespace lq {

class FilePanel;

// Runs open and save panels. Main thread only.
class PanelPresenter
{
public:
    virtual ~PanelPresenter() = default;

    // Runs panel modally: the chosen path, or nullopt when the user cancelled. A save panel's
    // path ends in an allowed extension (FilePanel::completedPath).
    std::optional<QString> runModal(FilePanel &panel);

    // The presenter every caller uses: file dialogs unless a test installed a scripted one.
    static PanelPresenter &current();
    static PanelPresenter *setCurrent(PanelPresenter *presenter);

protected:
    virtual std::optional<QString> choosePath(FilePanel &panel) = 0;
};

} // namespace lq
