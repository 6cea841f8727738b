#pragma once

#include <QString>

// What the crash reporter tells of the machine, read from the system's own files.
namespace system_info {

// The machine's model string: the firmware's product name, else the device tree's model, else
// the processor architecture.
QString machineModel();
// The display name of a model string by the table of known model identifiers: the last key in
// ascending order that occurs in it (a key that is the whole model string wins for good);
// "<name> (<key>)" for a family key without a comma, "Unknown (<model>)" when none occurs.
QString machineNameForModel(const QString &model);
// machineNameForModel(machineModel()), computed once.
QString JXMachineName();
// The processors online; 1 when the system does not say.
int JXCountCores();
// The processor's clock in MHz; 0 when unknown.
long JXClockSpeed();
// The system's version as "major.minor.bugfix".
QString JXSystemVersionString();
// The user's full name from the user database (its first comma-separated field).
QString longUserName();

} // namespace system_info
