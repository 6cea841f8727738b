#pragma once

class QWidget;

// Makes the views that show video for the recording object. The window layer installs one that
// makes its video view; until then a plain widget serves.
class VideoViewFactory
{
public:
    // What the view shows: the camera while recording, or the recording played back.
    enum class Content { Capture, Movie };

    virtual ~VideoViewFactory() = default;
    // A new view without a parent; the caller owns it.
    virtual QWidget *makeVideoView(Content content) = 0;

    static VideoViewFactory &current();
    // Installs a factory (nullptr restores the plain one); answers the previous one.
    static VideoViewFactory *setCurrent(VideoViewFactory *factory);
};
