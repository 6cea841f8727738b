#include "platform/ui/AlertPresenter.h"

#include "platform/ui/QtAlertPresenter.h"

#include <atomic>

namespace lq {
namespace {

std::atomic<AlertPresenter *> installedPresenter{nullptr};

} // namespace

AlertPresenter &AlertPresenter::current()
{
    if (AlertPresenter *installed = installedPresenter.load())
        return *installed;
    static QtAlertPresenter messageBoxes;
    return messageBoxes;
}

AlertPresenter *AlertPresenter::setCurrent(AlertPresenter *presenter)
{
    return installedPresenter.exchange(presenter);
}

} // namespace lq
