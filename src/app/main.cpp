#include "app/MediaEngineFactory.h"
#include "platform/foundation/Bundle.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Luma Quill"));
    QCoreApplication::setApplicationVersion(lq::Bundle::shortVersion());
    MediaEngineFactory engines;
    LQEngineFactory::setCurrent(&engines);
    QTextStream(stdout) << lq::Bundle::name() << ' ' << lq::Bundle::shortVersion() << '\n';
    return 0;
}
