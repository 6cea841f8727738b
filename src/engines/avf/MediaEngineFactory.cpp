#include "engines/avf/MediaEngineFactory.h"

#include "engines/avf/LQPlayerSession.h"
#include "engines/avf/LQRecordingSession.h"
#include "engines/legacy/WrenPlayerSession.h"
#include "engines/legacy/WrenRecordingSession.h"

std::unique_ptr<LQRecSession> MediaEngineFactory::createRecordingEngine(Family family)
{
    if (family == Family::Legacy)
        return std::make_unique<WrenRecordingSession>();
    return std::make_unique<LQRecordingSession>();
}

std::unique_ptr<LQPlaySession> MediaEngineFactory::createPlaybackEngine(Family family)
{
    if (family == Family::Legacy)
        return std::make_unique<WrenPlayerSession>();
    return std::make_unique<LQPlayerSession>();
}
