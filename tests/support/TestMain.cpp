// Shared main of every test program: a QApplication on the offscreen platform, with the XDG
// folders in a temporary place, the test capture devices listed, sound played into a fake
// output, and log lines kept out of the system log.

#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LUMAQUILL_TEST_DEVICES", "1");
    qputenv("LUMAQUILL_AUDIO_OUTPUT", "fake");
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "Could not create a temporary folder for the tests.\n");
        return 1;
    }
    for (const char *name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        const QString path = home.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        qputenv(name, path.toUtf8());
    }
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    // One media plugin registry for every test process of this build, instead of a scan of
    // every plugin at each start (the cache folder above is new each time).
    if (qEnvironmentVariableIsEmpty("GST_REGISTRY")) {
        const QString registry =
            QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteDir().filePath("gst-registry.bin");
        qputenv("GST_REGISTRY", QFile::encodeName(registry));
    }

    // Lines not captured by a test go to standard error only.
    lq::setLogSink([](const QString &text) { std::fprintf(stderr, "%s", qPrintable(text)); });

    testing::InitGoogleMock(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Luma Quill"));
    const int result = RUN_ALL_TESTS();
    // Saved now, while its folder is there: a store saved at exit would make the folder again.
    lq::UserDefaults::resetStandard();
    return result;
}
