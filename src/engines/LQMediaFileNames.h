#pragma once

#include <QString>

// How the media files of a recording are named. The recording object hands an engine a stem per
// session; the engine adds a file number and the extension for each file of the session.
namespace LQMediaFileNames {

// "<folder>/recording-<session>.", e.g. ".../recording-3."
QString sessionStem(const QString &folder, int session);
// "<stem><fileNumber>.mov", e.g. ".../recording-3.0.mov"
QString fileName(const QString &stem, int fileNumber);
// Whether name is one the recording object gives a session's media file in a note's folder:
// recorded ("recording-3.0.mov") or imported ("recording-3.mov", "recording-3-1.mov").
bool isMediaFileName(const QString &name);

} // namespace LQMediaFileNames
