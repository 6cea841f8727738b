// Writes archives of small event stores into a folder, as starting points for the fuzzer.

#include "model/WrenEvents.h"
#include "model/WrenTimeStamp.h"
#include "platform/foundation/KeyedArchiver.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

bool writeSeed(const QDir &folder, const QString &name, std::shared_ptr<WrenEvents> events)
{
    QFile file(folder.filePath(name));
    const QByteArray bytes = lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(events));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make_fuzz_seeds <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    auto empty = std::make_shared<WrenEvents>();

    auto typed = std::make_shared<WrenEvents>();
    for (uint32_t i = 0; i < 12; ++i)
        typed->addEvent(WrenTimeStamp::initWithKey(i, 0, 0.25 * i), false);
    typed->addSessionLength(3.0f, 0);

    auto sessions = std::make_shared<WrenEvents>();
    sessions->addEvent(WrenTimeStamp::initWithSlide(1, 0, 0.0), false);
    sessions->addEvent(WrenTimeStamp::initWithKey(0, 0, 1.5), false);
    sessions->addEvent(WrenTimeStamp::initWithKey(4, 1, 0.5), false);
    sessions->addEvent(WrenTimeStamp::initWithSlide(2, 1, 2.0), false);
    sessions->addEvent(WrenTimeStamp::initWithKey(20, 1, 3.0), false);
    sessions->addSessionLength(10.0f, 0);
    sessions->addSessionLength(20.0f, 1);

    const bool written = writeSeed(folder, QStringLiteral("empty"), empty) &&
                         writeSeed(folder, QStringLiteral("typed"), typed) &&
                         writeSeed(folder, QStringLiteral("sessions"), sessions);
    if (!written) {
        std::fprintf(stderr, "Could not write the seeds into %s.\n", argv[1]);
        return 1;
    }
    return 0;
}
