#pragma once

#include <QString>

namespace lq::Bundle {

// "Luma Quill"; fixed at start-up, so any thread may ask without a hop to the main thread.
QString name();
// The version written into notes and checked when they are opened, e.g. "3.1".
QString shortVersion();
QString buildRevision();

// The folder of the program's resources (web template, sounds, images).
QString resourceDirectory();
// The absolute path of a resource, or empty when it is missing.
QString resourcePath(const QString &relativePath);

// Whether the modern capture and playback engines are used: yes, unless the environment
// says LUMAQUILL_MEDIA_ENGINE=legacy.
bool modernMediaEnginesAvailable();

// The toolkit generation the window layout code compares against.
inline constexpr double kAppKitVersionNumber = 1404.0;

} // namespace lq::Bundle
