#pragma once

#include "platform/ui/AlertPresenter.h"

namespace lq {

// Alerts as message boxes: application-modal, or window-modal for a sheet.
class QtAlertPresenter : public AlertPresenter
{
public:
    AlertResponse runModal(const AlertRequest &request) override;
    void beginSheet(const AlertRequest &request, QWidget *window,
                    std::function<void(const AlertResponse &)> done) override;
};

} // namespace lq
