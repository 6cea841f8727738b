#include "window/LQVideoViewFactory.h"

#include "window/LQVideoView.h"

QWidget *LQVideoViewFactory::makeVideoView()
{
    return new LQVideoView;
}
