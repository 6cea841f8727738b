#pragma once

#include "model/VideoViewFactory.h"

// Makes the recording object's video views as LQVideoView.
class LQVideoViewFactory final : public VideoViewFactory
{
public:
    QWidget *makeVideoView() override;
};
