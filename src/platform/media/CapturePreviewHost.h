#pragma once

namespace lq {
class VideoSurface;
}

// A view that hosts the live camera picture of the legacy recording engine: it hands the engine
// the surface the picture goes into. A capture view that is itself a VideoSurface needs no host.
class CapturePreviewHost
{
public:
    virtual ~CapturePreviewHost() = default;
    virtual lq::VideoSurface *previewSurface() = 0;
};
