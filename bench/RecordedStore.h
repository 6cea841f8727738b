#pragma once

#include "model/WrenEvents.h"

#include <cstdint>
#include <memory>

inline constexpr double kStampSpacing = 0.1; // seconds between stamps
inline constexpr int kSlideEvery = 100;      // one slide change per this many stamps

// A store as a recording leaves it: key stamps a tenth of a second apart, with slide changes
// among them, all in session 0. No undo manager.
inline std::shared_ptr<WrenEvents> recordedStore(int64_t stamps)
{
    auto store = std::make_shared<WrenEvents>();
    uint32_t character = 0;
    for (int64_t i = 0; i < stamps; ++i) {
        const double offset = static_cast<double>(i) * kStampSpacing;
        if (i % kSlideEvery == kSlideEvery - 1) {
            const auto slide = static_cast<uint32_t>(i / kSlideEvery) + 1;
            store->addEvent(WrenTimeStamp::initWithSlide(slide, 0, offset), false);
        } else {
            store->addEvent(WrenTimeStamp::initWithKey(character++, 0, offset), false);
        }
    }
    store->addSessionLength(static_cast<float>(static_cast<double>(stamps) * kStampSpacing), 0);
    return store;
}
