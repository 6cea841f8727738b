#include "support/ScriptedAlertPresenter.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

bool onMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

ScriptedAlertPresenter::ScriptedAlertPresenter() : m_previous(AlertPresenter::setCurrent(this))
{}

ScriptedAlertPresenter::~ScriptedAlertPresenter()
{
    AlertPresenter::setCurrent(m_previous);
}

void ScriptedAlertPresenter::addResponse(const AlertResponse &response)
{
    std::lock_guard lock(m_mutex);
    m_responses.push_back(response);
}

void ScriptedAlertPresenter::addResponse(int buttonIndex, bool suppressed)
{
    addResponse(AlertResponse{buttonIndex, suppressed});
}

QList<ScriptedAlertPresenter::Shown> ScriptedAlertPresenter::shown() const
{
    std::lock_guard lock(m_mutex);
    return m_shown;
}

int ScriptedAlertPresenter::count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_shown.size());
}

ScriptedAlertPresenter::Shown ScriptedAlertPresenter::last() const
{
    std::lock_guard lock(m_mutex);
    if (m_shown.isEmpty()) {
        ADD_FAILURE() << "No alert was shown";
        return {};
    }
    return m_shown.last();
}

AlertResponse ScriptedAlertPresenter::runModal(const AlertRequest &request)
{
    return record({request, nullptr, false, onMainThread()});
}

void ScriptedAlertPresenter::beginSheet(const AlertRequest &request, QWidget *window,
                                        std::function<void(const AlertResponse &)> done)
{
    const AlertResponse response = record({request, window, true, onMainThread()});
    if (done)
        done(response);
}

AlertResponse ScriptedAlertPresenter::record(Shown shown)
{
    std::lock_guard lock(m_mutex);
    m_shown.append(std::move(shown));
    if (m_responses.empty())
        return {};
    const AlertResponse response = m_responses.front();
    m_responses.pop_front();
    return response;
}

} // namespace lq::test
