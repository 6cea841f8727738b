#pragma once

#include "model/VideoViewFactory.h"

// Makes the recording object's video views: LQVideoView for today's engines, the mini views
// for the legacy family's.
class LQVideoViewFactory final : public VideoViewFactory
{
public:
    QWidget *makeVideoView(Content content) override;
};
