#include "model/ModelArchiveClasses.h"

#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenTimeStamp.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <mutex>

void registerModelArchiveClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        lq::registerArchiveClass(QLatin1String(WrenTimeStamp::kArchiveClassName),
                                 &WrenTimeStamp::initWithCoder);
        lq::registerArchiveClass(QLatin1String(WrenEvents::kArchiveClassName),
                                 &WrenEvents::initWithCoder);
        WrenTimerSession::registerArchiveClass();
        lq::registerArchiveClass(QLatin1String(WrenRecording::kArchiveClassName),
                                 &WrenRecording::initWithCoder);
    });
}
