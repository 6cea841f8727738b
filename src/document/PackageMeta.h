#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <limits>
#include <optional>

// The package member "meta": the window layout, the playback mode, the save counter and the
// oldest program version that can read the note. Absent keys stay empty.
struct PackageMeta
{
    static constexpr char kWinFrame[] = "winFrame";
    static constexpr char kPlaybackMode[] = "playbackMode";
    static constexpr char kRecControllerState[] = "recControllerState";
    static constexpr char kMinVersionCanRead[] = "minVersionCanRead";
    static constexpr char kMiniOSVersionCanRead[] = "miniOSVersionCanRead";
    static constexpr char kSerialNumber[] = "serialNumber";
    static constexpr char kDividerPosition[] = "dividerPosition";
    static constexpr char kAutorecovery[] = "org.lumaquill.LumaQuill_autorecovery_file";

    std::optional<QString> winFrame;
    std::optional<int32_t> playbackMode;
    std::optional<lq::ArchiveDictionary> recControllerState;
    std::optional<QString> minVersionCanRead;
    std::optional<QString> miniOSVersionCanRead;
    std::optional<uint64_t> serialNumber;
    // Read only when above zero.
    std::optional<double> dividerPosition;
    bool autorecovery = false;

    // The versions a note needs: higher when its text holds images.
    void setNeedsImages(bool images);

    // The keyed archive of the dictionary, keys in the order above (only those set).
    QByteArray archivedData() const;
    // A value of the wrong type is logged and left out; an archive that is no dictionary
    // answers nullopt and an error.
    static std::optional<PackageMeta> unarchived(const QByteArray &data, lq::Error *error);
};
