#pragma once

#include "engines/LQPlaySession.h"
#include "platform/foundation/Error.h"
#include "platform/media/MediaComposition.h"
#include "platform/media/MediaPlayer.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <variant>

class LQMediaExport;
struct LQExportFacts;

namespace lq {
class VideoSurface;
}

// The playback engine of today's media stack: joins media files and gaps into one timeline,
// plays it at any rate with the pitch kept, seeks exactly and applies the user's audio boost
// ("audioBoost"; re-applied on "audioBootChanged"). It posts "LQPlayerDidEndPlaying" whenever
// playback stops. It trims the files last loaded, and exports its timeline. Main thread only.
//
// The files are read in the background, so loading answers at once; the timeline exists once
// they are read (isLoading() false). Meanwhile a start, a rate and a position are kept and
// applied then, the position reported is where playback will begin, and a timeline that turns
// out unplayable stops playback as a failure during play does.
//
// The picture goes into a video view given with setPlayerView(): the engine puts one
// lq::VideoSurface into it, in place of every other child widget, and when the view is an
// lq::NaturalSizeHolder tells it the timeline's natural size, so that the view keeps the picture
// letterboxed.
class LQPlayerSession : public LQPlaySession
{
public:
    LQPlayerSession();
    ~LQPlayerSession() override;

    // Answers false when the list names media files and none of them exists, so that the caller
    // treats the session as having no media; a list of gaps alone loads.
    bool addMediaPaths(const QList<LQMediaElement> &elements) override;
    bool addMediaFiles(const QStringList &names, const QString &folder) override;
    // Plays at rate 1, or at rate -1 from the end when backwards without an offset.
    bool startPlaying(std::optional<double> offset, bool backwards) override;
    bool stopPlaying() override;
    bool setRate(float rate) override;
    bool currentTime(double *seconds) override;
    bool length(double *seconds) override;
    void setCurrentTime(double seconds) override;
    // Keeps the first offset seconds (none: 0) of the files last given with addMediaFiles: they
    // become one movie under the first file's name (the one name newFiles receives), written as
    // "tempCrop" in their folder (a leftover one is removed first), and the other files are
    // removed. The main thread handles events meanwhile. Any failure before the movie takes the
    // first file's place leaves every file as it was. False for a negative offset, without files
    // or while playing. Afterwards nothing is loaded.
    bool trimFrom(std::optional<double> offset, QStringList *newFiles) override;
    // Writes the timeline as the type says (LQExportPlan.h), once its files are read. A type
    // this engine does not write goes, with the list last loaded, to an engine of the legacy
    // family, which tells its own failures. Answers false when cancelled, or after telling a
    // failure in an alert; false, logged, without a destination, a type or a loaded list.
    bool exportMedia(const QString &destination, const QString &type, LQExportProgress &progress,
                     std::optional<QSize> size) override;
    void cancelExporting() override;
    bool currentlyPlaying() const override { return m_playing; }
    // The files last given are still being read.
    bool isLoading() const { return m_loading; }

    QWidget *videoView() const { return m_view; }
    // Shows the picture in view from now on (none: the picture is not shown).
    void setPlayerView(QWidget *view) override;

    // The loaded timeline (null when none), the player of it (null when it cannot be played)
    // and the last rate set.
    const lq::MediaComposition *composition() const;
    lq::MediaPlayer *player() const { return m_player.get(); }
    float rateAsSet() const { return m_rateAsSet; }

private:
    // One element of a timeline being loaded: a file, or a gap of known length in seconds.
    using Piece = std::variant<QString, double>;
    struct PendingStart
    {
        std::optional<double> offset;
        bool backwards = false;
    };

    void finishLoading(const QList<Piece> &pieces, bool namesFiles,
                       const QList<lq::ProbeResult> &results);
    void appendFile(lq::MediaComposition &composition, const lq::ProbeResult &result) const;
    void appendGap(lq::MediaComposition &composition, double seconds) const;
    // Drops the player and the timeline, and whatever was to happen once it was loaded.
    void unload();
    bool start(std::optional<double> offset, bool backwards);
    void startPending();
    void openPlayer();
    void createPlayerLayer();
    void applyVolume();
    void playbackStopped();
    void itemDidReachEnd();
    void itemFailedToReachEnd(const lq::Error &error);
    LQExportFacts exportFacts(std::optional<QSize> size) const;
    bool exportThroughFallback(const QString &destination, const QString &type,
                               LQExportProgress &progress, std::optional<QSize> size);

    std::optional<lq::MediaComposition> m_composition;
    std::unique_ptr<lq::MediaPlayer> m_player;
    QPointer<QWidget> m_view;
    QPointer<lq::VideoSurface> m_surface;
    QStringList m_movieFiles;
    std::optional<lq::MediaInfo> m_silence;
    QList<LQMediaElement> m_moviePaths; // the list last loaded, handed to a fallback export

    // While exporting: the export, or the engine an export was handed to.
    LQMediaExport *m_export = nullptr;
    LQPlaySession *m_fallback = nullptr;

    // While loading: which load is current, and what is to happen once it is done.
    bool m_loading = false;
    int m_loadNumber = 0;
    std::optional<PendingStart> m_pendingStart;
    std::optional<float> m_pendingRate;
    std::optional<double> m_pendingPosition;
    QObject m_loadReceiver; // answers of background reads go nowhere once the engine is gone

    bool m_playing = false;
    float m_rateAsSet = 0.0f;
    std::optional<double> m_initialVolume; // the player's own volume, the base of the boost
};
