#pragma once

#include "engines/avf/LQRecordingSession.h"
#include "support/RecordingRig.h"

namespace lq::test {

using RecordingRig = RecordingRigFor<LQRecordingSession>;

} // namespace lq::test
