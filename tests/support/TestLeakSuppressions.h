#pragma once

// Leak-checker settings for test programs that load GStreamer: include from exactly one source
// file of such a program. GLib allocates once while plugins load and the plugin registry is
// built, the sound server's client library keeps small blocks (its context when no server
// answers, the timing updates of the streams it plays and records), and the movie muxer leaks a
// small block per file it writes; the editing services load Python once for their project
// formats, and their pipelines leave small blocks with GLib while being torn down; none of them
// is ours. Full stacks are unwound so that these entries cannot hide a leak of our own.

extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:_dl_init\n"
           "leak:gst_update_registry\n"
           "leak:libpulse.so\n"
           "leak:libgstisomp4.so\n"
           "leak:libpython3\n"
           "leak:lq::RenderGraph::~RenderGraph\n";
}
