#include "model/ModelArchiveClasses.h"

#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenTimeStamp.h"
#include "model/WrenTimerSession.h"

const lq::ArchiveClasses &registerModelArchiveClasses()
{
    static const lq::ArchiveClasses classes = [] {
        lq::registerArchiveClass(QLatin1String(WrenTimeStamp::kArchiveClassName),
                                 &WrenTimeStamp::initWithCoder);
        lq::registerArchiveClass(QLatin1String(WrenEvents::kArchiveClassName),
                                 &WrenEvents::initWithCoder);
        WrenTimerSession::registerArchiveClass();
        lq::registerArchiveClass(QLatin1String(WrenRecording::kArchiveClassName),
                                 &WrenRecording::initWithCoder);
        return lq::ArchiveClasses{QLatin1String(WrenTimeStamp::kArchiveClassName),
                                  QLatin1String(WrenEvents::kArchiveClassName),
                                  QLatin1String(WrenTimerSession::kArchiveClassName),
                                  QLatin1String(WrenRecording::kArchiveClassName)};
    }();
    return classes;
}
