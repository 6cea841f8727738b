#include "platform/ui/PanelPresenter.h"

#include "platform/ui/FilePanel.h"
#include "platform/ui/QtPanelPresenter.h"

#include <atomic>

namespace lq {
namespace {

std::atomic<PanelPresenter *> installedPresenter{nullptr};

} // namespace

std::optional<QString> PanelPresenter::runModal(FilePanel &panel)
{
    const std::optional<QString> chosen = choosePath(panel);
    if (!chosen)
        return std::nullopt;
    return panel.completedPath(*chosen);
}

PanelPresenter &PanelPresenter::current()
{
    if (PanelPresenter *installed = installedPresenter.load())
        return *installed;
    static QtPanelPresenter fileDialogs;
    return fileDialogs;
}

PanelPresenter *PanelPresenter::setCurrent(PanelPresenter *presenter)
{
    return installedPresenter.exchange(presenter);
}

} // namespace lq
