#pragma once

#include <QLatin1StringView>

// What an export writes, named by the token passed to LQPlaySession::exportMedia.
inline constexpr QLatin1StringView kM4aExportType{"m4a_export"};            // AAC audio
inline constexpr QLatin1StringView kMovAudioExportType{"mov_audio_export"}; // movie, sound only
inline constexpr QLatin1StringView kMovExportType{"mov_export"};            // movie, all media
inline constexpr QLatin1StringView kH264ExportType{"h264_export"}; // H.264 MPEG-4, scalable
