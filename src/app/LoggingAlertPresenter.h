#pragma once

#include "platform/ui/AlertPresenter.h"

// Answers every alert with its default button and writes its texts to the log instead of showing
// it: for runs without anyone at the screen (LUMAQUILL_ALERTS=log), such as tests of the program.
class LoggingAlertPresenter final : public lq::AlertPresenter
{
public:
    lq::AlertResponse runModal(const lq::AlertRequest &request) override;
    void beginSheet(const lq::AlertRequest &request, QWidget *window,
                    std::function<void(const lq::AlertResponse &)> done) override;
};
