#include "platform/foundation/ScriptRunner.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/ReplaceableService.h"

namespace lq {
namespace {

ReplaceableService<ScriptRunner> installedRunner;

} // namespace

ScriptRunner &ScriptRunner::current()
{
    static UnavailableScriptRunner unavailable;
    return installedRunner.current(unavailable);
}

ScriptRunner *ScriptRunner::setCurrent(ScriptRunner *runner)
{
    return installedRunner.install(runner);
}

bool UnavailableScriptRunner::run(const QString &, const QString &application, QString *error)
{
    const QString reason =
        QStringLiteral("Scripts that drive other applications cannot run on this system, so %1 "
                       "could not be reached.")
            .arg(application);
    log(reason + QLatin1Char('\n'));
    if (error)
        *error = reason;
    return false;
}

} // namespace lq
