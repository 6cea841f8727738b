#include "model/VideoViewFactory.h"

#include "platform/foundation/ReplaceableService.h"

#include <QWidget>

namespace {

class PlainViewFactory final : public VideoViewFactory
{
public:
    QWidget *makeVideoView(Content) override { return new QWidget; }
};

lq::ReplaceableService<VideoViewFactory> installedFactory;

} // namespace

VideoViewFactory &VideoViewFactory::current()
{
    static PlainViewFactory plainViews;
    return installedFactory.current(plainViews);
}

VideoViewFactory *VideoViewFactory::setCurrent(VideoViewFactory *factory)
{
    return installedFactory.install(factory);
}
