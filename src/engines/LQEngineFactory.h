#pragma once

#include "engines/LQPlaySession.h"
#include "engines/LQRecSession.h"

#include <memory>

// Makes the recording object's engines. The program installs a factory that makes the real
// engines; tests install one that makes fakes.
class LQEngineFactory
{
public:
    enum class Family {
        Modern, // the recording and playback engines of today's media stack
        Legacy, // the older engines
    };

    virtual ~LQEngineFactory() = default;

    // The family the program runs with: modern unless the platform switch selects the legacy one.
    virtual Family runTimeFamily() const;

    std::unique_ptr<LQRecSession> makeRecordingEngine()
    {
        return createRecordingEngine(runTimeFamily());
    }
    std::unique_ptr<LQPlaySession> makePlaybackEngine()
    {
        return createPlaybackEngine(runTimeFamily());
    }
    // An engine of the named family, whichever runs.
    std::unique_ptr<LQRecSession> makeRecordingEngine(Family family)
    {
        return createRecordingEngine(family);
    }
    std::unique_ptr<LQPlaySession> makePlaybackEngine(Family family)
    {
        return createPlaybackEngine(family);
    }

    // The factory in use: until one is installed, a factory that makes no engines (null).
    static LQEngineFactory &current();
    // Installs a factory (nullptr restores the one that makes none); answers the previous one.
    static LQEngineFactory *setCurrent(LQEngineFactory *factory);

private:
    // Each answers a new engine, unconfigured, or null when the family has none.
    virtual std::unique_ptr<LQRecSession> createRecordingEngine(Family family) = 0;
    virtual std::unique_ptr<LQPlaySession> createPlaybackEngine(Family family) = 0;
};
