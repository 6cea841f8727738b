#include "support/ScriptedScriptRunner.h"

namespace lq::test {

ScriptedScriptRunner::ScriptedScriptRunner() : m_previous(ScriptRunner::setCurrent(this))
{}

ScriptedScriptRunner::~ScriptedScriptRunner()
{
    ScriptRunner::setCurrent(m_previous);
}

void ScriptedScriptRunner::failNext(const QString &error)
{
    m_failures.push_back(error);
}

bool ScriptedScriptRunner::run(const QString &source, const QString &application, QString *error)
{
    m_runs.append({source, application});
    if (m_failures.empty())
        return true;
    if (error)
        *error = m_failures.front();
    m_failures.pop_front();
    return false;
}

} // namespace lq::test
