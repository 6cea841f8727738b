#pragma once

#include "platform/update/Updater.h"

// The updater's delegate. Automatic checks stay off until the user turns them on in the
// preferences, so the updater never asks for permission on its own.
class SparkleDelegate final : public lq::UpdaterDelegate
{
public:
    bool updaterShouldPromptForPermissionToCheckForUpdates(lq::Updater &) override { return false; }
};
