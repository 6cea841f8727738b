#include "window/LQVideoViewFactory.h"

#include "engines/LQEngineFactory.h"
#include "window/LQVideoView.h"
#include "window/QTCaptureMiniView.h"
#include "window/QTMovieMiniView.h"

QWidget *LQVideoViewFactory::makeVideoView(Content content)
{
    if (LQEngineFactory::current().runTimeFamily() == LQEngineFactory::Family::Modern)
        return new LQVideoView;
    if (content == Content::Capture)
        return new QTCaptureMiniView;
    return new QTMovieMiniView;
}
