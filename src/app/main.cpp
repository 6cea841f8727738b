#include "document/MyDocument.h"
#include "engines/avf/MediaEngineFactory.h"
#include "platform/foundation/Bundle.h"
#include "window/LQVideoViewFactory.h"
#include "window/RecordingController.h"

#include <QApplication>
#include <QMainWindow>

#include <memory>

// Opens an untitled note in its window; the full start-up comes with the document controller.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Luma Quill"));
    QApplication::setApplicationVersion(lq::Bundle::shortVersion());
    QApplication::setDesktopFileName(QStringLiteral("lumaquill"));
    MediaEngineFactory engines;
    LQEngineFactory::setCurrent(&engines);
    LQVideoViewFactory videoViews;
    VideoViewFactory::setCurrent(&videoViews);

    std::unique_ptr<MyDocument> document = MyDocument::create();
    if (!document)
        return 1; // the document has told the user why
    auto controller = std::make_unique<RecordingController>(*document);
    QMainWindow *window = controller->outlets().window;
    document->addWindowController(std::move(controller));
    window->show();
    return app.exec();
}
