#pragma once

#include "model/ImportedMovie.h"
#include "platform/foundation/Error.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class MediaPlayabilityCheck;
class OldMediaConversion;
class QObject;
class WrenRecording;

// What an import needs of the recording that receives the file. The recording's own is made by
// makeRecordingImportTarget; tests give fakes.
class ImportTarget
{
public:
    virtual ~ImportTarget() = default;

    // The file opened as media; nothing, with the media layer's error, when it does not open.
    virtual std::optional<ImportedMovie> open(const QString &path, lq::Error *error) = 0;
    // Has the media layer read path off the main thread; loaded then runs on the main thread,
    // unless context is gone by then.
    virtual void loadInBackground(const QString &path, const QObject *context,
                                  std::function<void()> loaded) = 0;
    // Makes movie session k, or with replaceAll the only session.
    virtual bool insert(const ImportedMovie &movie, int32_t k, bool replaceAll,
                        lq::Error *error) = 0;
    // The check and the conversion for files the player cannot play; files are taken as they
    // are when either is null.
    virtual MediaPlayabilityCheck *playabilityCheck() const = 0;
    virtual OldMediaConversion *conversion() const = 0;
    // Where a converted file is kept while the note is open; empty when there is no such folder.
    virtual QString convertedFileFolder() const = 0;
};

// The target that imports into recording, which must outlive it.
std::unique_ptr<ImportTarget> makeRecordingImportTarget(WrenRecording &recording);
