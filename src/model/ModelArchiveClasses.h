#pragma once

// Makes the archived classes of the model known to every unarchiver. Safe to call any number of
// times, from any thread.
void registerModelArchiveClasses();
