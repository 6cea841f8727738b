#include "platform/media/VideoSurface.h"

#include "platform/foundation/MainThread.h"
#include "platform/media/BusWatch.h"
#include "platform/media/GStreamer.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace lq {
namespace {

// Runs videotestsrc into a surface's sink; the bus watch reports the end on the main thread.
struct TestPicture
{
    explicit TestPicture(VideoSurface *surface, int frames)
    {
        EXPECT_TRUE(GStreamer::initialize());
        pipeline = gst_pipeline_new(nullptr);
        GstElement *source = gst_element_factory_make("videotestsrc", nullptr);
        g_object_set(source, "num-buffers", frames, nullptr);
        GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
        GstCaps *caps = gst_caps_from_string("video/x-raw, width=320, height=240, framerate=100/1");
        g_object_set(filter, "caps", caps, nullptr);
        gst_caps_unref(caps);
        Error error;
        GstElement *sink = VideoSurface::makeSink(surface, &error);
        EXPECT_NE(sink, nullptr) << error.localizedDescription().toStdString();
        gst_bin_add_many(GST_BIN(pipeline), source, filter, sink, nullptr);
        EXPECT_TRUE(gst_element_link_many(source, filter, sink, nullptr));
        watch = std::make_unique<BusWatch>(pipeline, [this](GstMessage *message) {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS ||
                GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
                ended = true;
        });
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
    }
    ~TestPicture()
    {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        watch.reset();
        gst_object_unref(pipeline);
    }

    GstElement *pipeline;
    std::unique_ptr<BusWatch> watch;
    bool ended = false;
};

TEST(VideoSurfaceTest, ShowsTheNewestFrameAndReportsTheEndOnTheMainThread)
{
    VideoSurface surface;
    surface.resize(160, 90);
    TestPicture picture(&surface, 12);
    ASSERT_TRUE(runEventLoopUntil([&] { return picture.ended; }, 10s));
    ASSERT_TRUE(runEventLoopUntil([&] { return surface.framesPresented() == 12; }, 5s));
    EXPECT_EQ(surface.frameSize(), QSize(320, 240));
    // Painting in either gravity copes with a view of another shape.
    for (auto gravity :
         {VideoSurface::Gravity::ResizeAspect, VideoSurface::Gravity::ResizeAspectFill}) {
        surface.setGravity(gravity);
        EXPECT_FALSE(surface.grab().isNull());
    }
}

TEST(VideoSurfaceTest, FramesArrivingAfterTheSurfaceIsGoneLandNowhere)
{
    auto surface = std::make_unique<VideoSurface>();
    TestPicture picture(surface.get(), 100);
    ASSERT_TRUE(runEventLoopUntil([&] { return surface->framesPresented() > 0; }, 10s));
    surface.reset();
    EXPECT_TRUE(runEventLoopUntil([&] { return picture.ended; }, 10s));
}

} // namespace
} // namespace lq
