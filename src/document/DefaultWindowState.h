#pragma once

#include "platform/foundation/ArchiveValue.h"

#include <QString>

#include <optional>

namespace lq {
class UserDefaults;
}

// The window layout new notes open with, kept in the user default "defaultWindowState": the
// window's frame string, the window controller's state for the default, the text area's width.
struct DefaultWindowState
{
    static constexpr char kDefaultsKey[] = "defaultWindowState";

    std::optional<QString> winFrame;
    std::optional<lq::ArchiveDictionary> recControllerState;
    std::optional<double> dividerPosition;

    // nullopt when the user default is not set (or is no dictionary).
    static std::optional<DefaultWindowState> load(const lq::UserDefaults &defaults);
    void store(lq::UserDefaults &defaults) const;
};
