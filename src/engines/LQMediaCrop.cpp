#include "engines/LQMediaCrop.h"

#include "platform/foundation/BackgroundRun.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/media/MediaTrimmer.h"

#include <QDir>

#include <cmath>

using namespace std::chrono_literals;

namespace {

// A cut takes far less than the length it keeps; this much more is left for slow machines.
constexpr std::chrono::seconds kTrimTimeLimit = 60s;

const QString kTrimFileName = QStringLiteral("tempCrop");

} // namespace

bool cropMediaFiles(const QString &folder, const QStringList &names, double seconds,
                    QStringList *newFiles)
{
    const QDir dir(folder);
    const QString cut = dir.filePath(kTrimFileName);
    lq::FileOperations &files = lq::FileOperations::current();
    lq::Error error;
    if (files.exists(cut) && !files.remove(cut, &error)) {
        lq::log(QStringLiteral("Error removing %1: %2\n").arg(cut, error.localizedDescription()));
        return false;
    }
    QStringList sources;
    for (const QString &name : names)
        sources.append(dir.filePath(name));
    const auto timeLimit = kTrimTimeLimit + std::chrono::seconds(std::llround(seconds));
    if (!lq::runInBackground(
            [&] { return lq::MediaTrimmer::trim(sources, seconds, cut, timeLimit, &error); })) {
        lq::log(QStringLiteral("Error cropping recording: %1\n").arg(error.localizedDescription()));
        return false;
    }
    // The cut takes the first file's place in one step; until then every file is as it was.
    if (!files.replace(cut, sources.first(), &error)) {
        lq::log(QStringLiteral("Error writing new file during cropping: %1\n")
                    .arg(error.localizedDescription()));
        files.remove(cut, nullptr);
        return false;
    }
    // What the later files held is in the first one now: one left behind is only a stray file.
    for (qsizetype i = 1; i < sources.size(); ++i) {
        if (files.exists(sources[i]) && !files.remove(sources[i], &error)) {
            lq::log(QStringLiteral("Error removing recording while cropping: %1\n")
                        .arg(error.localizedDescription()));
        }
    }
    if (newFiles)
        *newFiles = QStringList{names.first()};
    return true;
}
