#pragma once

#include "platform/ui/AlertPresenter.h"

#include <QList>

#include <deque>
#include <mutex>

namespace lq::test {

// Stands in for the alert presenter while it lives: records every alert and answers with the
// scripted responses in order, then with the first button. Sheets are answered at once.
class ScriptedAlertPresenter : public AlertPresenter
{
public:
    struct Shown
    {
        AlertRequest request;
        QWidget *sheetWindow = nullptr; // null for a modal alert
        bool asSheet = false;
        bool onMainThread = false;
    };

    ScriptedAlertPresenter();
    ~ScriptedAlertPresenter() override;
    ScriptedAlertPresenter(const ScriptedAlertPresenter &) = delete;
    ScriptedAlertPresenter &operator=(const ScriptedAlertPresenter &) = delete;

    void addResponse(const AlertResponse &response);
    void addResponse(int buttonIndex, bool suppressed = false);

    QList<Shown> shown() const;
    int count() const;
    // The last alert shown; the test fails when there was none.
    Shown last() const;

    AlertResponse runModal(const AlertRequest &request) override;
    void beginSheet(const AlertRequest &request, QWidget *window,
                    std::function<void(const AlertResponse &)> done) override;

private:
    AlertResponse record(Shown shown);

    mutable std::mutex m_mutex;
    std::deque<AlertResponse> m_responses;
    QList<Shown> m_shown;
    AlertPresenter *m_previous;
};

} // namespace lq::test
