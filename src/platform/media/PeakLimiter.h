#pragma once

using GstPad = struct _GstPad;

namespace lq {

// The highest sample the limiter lets through: -1 dBFS, with room for the rounding of later
// conversions.
constexpr float kPeakCeiling = 0.891f;

// Keeps the 32-bit float sound leaving pad at or below kPeakCeiling for as long as the pad
// lives: where a peak would pass the ceiling the level drops at once just enough, then comes
// back over a fraction of a second. Quiet sound passes as it is, and loud sound keeps its shape
// instead of being clipped. Sound in other formats passes unchanged.
void limitPeaks(GstPad *pad);

} // namespace lq
