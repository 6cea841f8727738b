#pragma once

#include "platform/foundation/KeyedUnarchiver.h"

// Makes the archived classes of the model known to every unarchiver and answers them: the
// classes a recording's archive may hold. Safe to call any number of times, from any thread.
const lq::ArchiveClasses &registerModelArchiveClasses();
