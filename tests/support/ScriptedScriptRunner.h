#pragma once

#include "platform/foundation/ScriptRunner.h"

#include <QStringList>

#include <deque>

namespace lq::test {

// Stands in for the script runner while it lives: records every script with its application
// and answers with the scripted results in order, then with success.
class ScriptedScriptRunner final : public ScriptRunner
{
public:
    struct Run
    {
        QString source;
        QString application;
    };

    ScriptedScriptRunner();
    ~ScriptedScriptRunner() override;
    ScriptedScriptRunner(const ScriptedScriptRunner &) = delete;
    ScriptedScriptRunner &operator=(const ScriptedScriptRunner &) = delete;

    // The next run fails with this error.
    void failNext(const QString &error);

    const QList<Run> &runs() const { return m_runs; }

    bool run(const QString &source, const QString &application, QString *error) override;

private:
    std::deque<QString> m_failures;
    QList<Run> m_runs;
    ScriptRunner *m_previous;
};

} // namespace lq::test
