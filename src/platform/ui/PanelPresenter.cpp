#include "platform/ui/PanelPresenter.h"

#include "platform/foundation/ReplaceableService.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/QtPanelPresenter.h"

namespace lq {
namespace {

ReplaceableService<PanelPresenter> installedPresenter;

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
    static QtPanelPresenter fileDialogs;
    return installedPresenter.current(fileDialogs);
}

PanelPresenter *PanelPresenter::setCurrent(PanelPresenter *presenter)
{
    return installedPresenter.install(presenter);
}

} // namespace lq
