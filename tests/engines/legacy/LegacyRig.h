#pragma once

#include "engines/legacy/WrenRecordingSession.h"
#include "shared/ScopedEnvironment.h"
#include "support/RecordingRig.h"

#include <QFileInfo>

namespace lq::test {

// The legacy engine over the test devices, with the legacy quality table in its preferences.
class LegacyRig
{
public:
    LegacyRig() { m_environment.set("LUMAQUILL_MEDIA_ENGINE", QStringLiteral("legacy")); }

    // Records for a while, then switches to the next file as a save does and waits for the
    // switch to end; answers the names the save got.
    QStringList recordAndSave(std::chrono::milliseconds length)
    {
        runEventLoopUntil([] { return false; }, length);
        QStringList names;
        EXPECT_TRUE(rig.engine.prepareToSave(&names));
        EXPECT_TRUE(runEventLoopUntil([&] { return !rig.engine.currentlySaving(); },
                                      std::chrono::seconds(10)));
        return names;
    }

    QStringList partialNames()
    {
        QStringList names;
        for (const QString &path : rig.engine.partialFiles().paths())
            names.append(QFileInfo(path).fileName());
        return names;
    }

private:
    ScopedEnvironment m_environment;

public:
    RecordingRigFor<WrenRecordingSession> rig;
};

} // namespace lq::test
