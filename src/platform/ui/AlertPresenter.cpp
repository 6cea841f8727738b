#include "platform/ui/AlertPresenter.h"

#include "platform/foundation/ReplaceableService.h"
#include "platform/ui/QtAlertPresenter.h"

namespace lq {
namespace {

ReplaceableService<AlertPresenter> installedPresenter;

} // namespace

AlertPresenter &AlertPresenter::current()
{
    static QtAlertPresenter messageBoxes;
    return installedPresenter.current(messageBoxes);
}

AlertPresenter *AlertPresenter::setCurrent(AlertPresenter *presenter)
{
    return installedPresenter.install(presenter);
}

} // namespace lq
