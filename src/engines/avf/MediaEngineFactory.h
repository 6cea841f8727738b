#pragma once

#include "engines/LQEngineFactory.h"

// Makes the program's engines: those of today's media stack, or of the legacy family.
class MediaEngineFactory final : public LQEngineFactory
{
private:
    std::unique_ptr<LQRecSession> createRecordingEngine(Family family) override;
    std::unique_ptr<LQPlaySession> createPlaybackEngine(Family family) override;
};
