#pragma once

#include <QString>

namespace lq {

// Runs a script that drives another application. Main thread only.
class ScriptRunner
{
public:
    virtual ~ScriptRunner() = default;

    // Compiles and runs source, addressed to application; false with error set when the script
    // could not be compiled or run.
    virtual bool run(const QString &source, const QString &application, QString *error) = 0;

    // The runner every caller uses: one that cannot run scripts unless another was installed.
    static ScriptRunner &current();
    // Installs a runner (nullptr restores the default); answers the previous one.
    static ScriptRunner *setCurrent(ScriptRunner *runner);
};

// This system offers no way to script other applications: every run fails and says so.
class UnavailableScriptRunner final : public ScriptRunner
{
public:
    bool run(const QString &source, const QString &application, QString *error) override;
};

} // namespace lq
