#include "engines/avf/MediaEngineFactory.h"
#include "platform/foundation/Bundle.h"
#include "window/LQVideoViewFactory.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Luma Quill"));
    QCoreApplication::setApplicationVersion(lq::Bundle::shortVersion());
    MediaEngineFactory engines;
    LQEngineFactory::setCurrent(&engines);
    LQVideoViewFactory videoViews;
    VideoViewFactory::setCurrent(&videoViews);
    QTextStream(stdout) << lq::Bundle::name() << ' ' << lq::Bundle::shortVersion() << '\n';
    return 0;
}
