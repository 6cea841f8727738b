#include "engines/avf/LQPlayerSession.h"

#include "engines/LQMediaCrop.h"
#include "engines/avf/isAVAssetPlayable.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/Letterbox.h"
#include "platform/media/NaturalSizeHolder.h"
#include "platform/media/VideoSurface.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::seconds kProbeTimeLimit = 10s;
const QString kDidEndPlaying = QStringLiteral("LQPlayerDidEndPlaying");
const QString kAudioBoostChanged = QStringLiteral("audioBootChanged");
const QString kAudioBoostKey = QStringLiteral("audioBoost");

QString silencePath()
{
    return lq::Bundle::resourcePath(QStringLiteral("silence.wav"));
}

} // namespace

LQPlayerSession::LQPlayerSession() = default;

LQPlayerSession::~LQPlayerSession()
{
    lq::NotificationCenter::defaultCenter().removeObserver(this);
}

const lq::MediaComposition *LQPlayerSession::composition() const
{
    return m_composition ? &*m_composition : nullptr;
}

void LQPlayerSession::appendFile(lq::MediaComposition &composition,
                                 const lq::ProbeResult &result) const
{
    if (!result.info || !isAVAssetPlayable(*result.info)) {
        lq::log(QStringLiteral("Error loading %1, media asset does not appear to be playable.")
                    .arg(result.path));
    }
    if (!result.info) {
        lq::log(QStringLiteral("Failed to insert asset from %1, %2\n")
                    .arg(result.path, result.error.localizedDescription()));
        return;
    }
    composition.appendFile(result.path, *result.info);
}

void LQPlayerSession::appendGap(lq::MediaComposition &composition, double seconds) const
{
    if (m_silence)
        composition.appendGap(seconds, silencePath(), *m_silence);
}

bool LQPlayerSession::addMediaPaths(const QList<LQMediaElement> &elements)
{
    QList<Piece> pieces;
    QStringList reads;
    bool namesFiles = false;
    bool anyFileExists = false;
    for (const LQMediaElement &element : elements) {
        if (const QString *path = std::get_if<QString>(&element)) {
            namesFiles = true;
            anyFileExists = anyFileExists || QFileInfo(*path).isFile();
            pieces.append(*path);
            reads.append(*path);
        } else if (const auto &gap = std::get<std::shared_ptr<GapEntry>>(element)) {
            double seconds = 0.0;
            if (gap->length(&seconds))
                pieces.append(seconds);
            else
                lq::log(QStringLiteral("%1 has failed to return a length. This should not happen.")
                            .arg(gap->description()));
        }
    }
    const bool hasGaps = std::any_of(pieces.cbegin(), pieces.cend(), [](const Piece &piece) {
        return std::holds_alternative<double>(piece);
    });
    if (hasGaps && !m_silence)
        reads.append(silencePath());

    unload();
    m_moviePaths = elements;
    const int load = ++m_loadNumber;
    m_loading = true;
    if (namesFiles && !anyFileExists) {
        // Nothing to wait for: reading missing files answers at once.
        QList<lq::ProbeResult> results;
        for (const QString &path : reads) {
            lq::ProbeResult result{path, std::nullopt, lq::Error()};
            result.info = lq::MediaInfo::probe(path, kProbeTimeLimit, &result.error);
            results.append(result);
        }
        finishLoading(pieces, namesFiles, results);
        return m_composition.has_value();
    }
    lq::MediaInfo::probeInBackground(
        reads, kProbeTimeLimit, &m_loadReceiver,
        [this, load, pieces, namesFiles](const QList<lq::ProbeResult> &results) {
            if (load == m_loadNumber) // not replaced by a later load
                finishLoading(pieces, namesFiles, results);
        });
    return true;
}

void LQPlayerSession::finishLoading(const QList<Piece> &pieces, bool namesFiles,
                                    const QList<lq::ProbeResult> &results)
{
    m_loading = false;
    const auto resultFor = [&results](const QString &path) -> std::optional<lq::ProbeResult> {
        for (const lq::ProbeResult &result : results) {
            if (result.path == path)
                return result;
        }
        return std::nullopt;
    };
    if (const std::optional<lq::ProbeResult> silence = resultFor(silencePath());
        silence && !m_silence) {
        m_silence = silence->info;
        if (!m_silence) {
            lq::log(
                QStringLiteral("Failed to insert asset from %1, %2\n")
                    .arg(silence->path.isEmpty() ? QStringLiteral("silence.wav") : silence->path,
                         silence->error.localizedDescription()));
        }
    }

    lq::MediaComposition composition;
    for (const Piece &piece : pieces) {
        if (const QString *path = std::get_if<QString>(&piece))
            appendFile(composition, resultFor(*path).value_or(lq::ProbeResult{*path, {}, {}}));
        else
            appendGap(composition, std::get<double>(piece));
    }
    if (namesFiles && composition.isEmpty()) {
        lq::log(QStringLiteral("None of the media files could be loaded for playing.\n"));
        startPending();
        return;
    }
    m_composition = std::move(composition);
    createPlayerLayer();
    openPlayer();
    startPending();
}

void LQPlayerSession::openPlayer()
{
    lq::Error error;
    const QStringList files = m_composition->playbackFiles(&error);
    if (!files.isEmpty())
        m_player = lq::MediaPlayer::open(files, m_surface, &error);
    if (!m_player) {
        lq::log(QStringLiteral("The timeline cannot be played: %1\n")
                    .arg(error.localizedDescription()));
        return;
    }
    m_player->setEndHandler([this] { itemDidReachEnd(); });
    m_player->setFailureHandler(
        [this](const lq::Error &failure) { itemFailedToReachEnd(failure); });
}

bool LQPlayerSession::addMediaFiles(const QStringList &names, const QString &folder)
{
    if (folder.isNull() || m_playing)
        return false;
    if ((m_composition || m_loading) && path() == folder && m_movieFiles == names)
        return true;
    m_composition.reset();
    QList<LQMediaElement> paths;
    for (const QString &name : names)
        paths.append(QDir(folder).filePath(name));
    if (!addMediaPaths(paths)) {
        m_movieFiles.clear();
        return false;
    }
    setPath(folder);
    m_movieFiles = names;
    return true;
}

void LQPlayerSession::setPlayerView(QWidget *view)
{
    m_view = view;
    createPlayerLayer();
}

void LQPlayerSession::createPlayerLayer()
{
    // While loading, the picture's size is not known yet: the view is filled once it is.
    if (!m_view || m_loading)
        return;
    const QList<QWidget *> children = m_view->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    if (m_surface && !children.isEmpty() && children.first() == m_surface)
        return;

    auto *surface = new lq::VideoSurface(m_view);
    surface->setGravity(lq::VideoSurface::Gravity::ResizeAspectFill);
    const QSizeF natural = m_composition ? m_composition->naturalSize() : QSizeF(0.0, 0.0);
    const double ratio = natural.height() > 0.0 ? natural.width() / natural.height() : 0.0;
    surface->setGeometry(lq::letterboxFrame(ratio, m_view->size()).toRect());
    for (QWidget *child : children)
        delete child;
    surface->show();
    if (auto *holder = dynamic_cast<lq::NaturalSizeHolder *>(m_view.data()))
        holder->setNaturalSize(natural);
    m_surface = surface;

    lq::Error error;
    if (m_player && !m_player->setVideoSurface(surface, &error)) {
        lq::log(QStringLiteral("The picture could not be attached: %1\n")
                    .arg(error.localizedDescription()));
        m_player.reset();
    }
}

bool LQPlayerSession::startPlaying(std::optional<double> offset, bool backwards)
{
    if (m_loading) {
        m_playing = true;
        m_pendingStart = PendingStart{offset, backwards};
        m_rateAsSet = !offset && backwards ? -1.0f : m_rateAsSet;
        return true;
    }
    if (!m_composition || !m_player)
        return false;
    return start(offset, backwards);
}

bool LQPlayerSession::start(std::optional<double> offset, bool backwards)
{
    m_playing = true;
    if (!m_initialVolume)
        m_initialVolume = m_player->volume();
    applyVolume();
    lq::NotificationCenter::defaultCenter().removeObserver(this);
    lq::NotificationCenter::defaultCenter().addObserver(
        this, kAudioBoostChanged, nullptr, [this](const lq::Notification &) { applyVolume(); });

    lq::Error error;
    bool started = false;
    if (offset) {
        started = m_player->seek(*offset, &error) && m_player->setRate(1.0, &error);
    } else if (backwards) {
        started = m_player->playFrom(m_composition->duration(), -1.0, &error);
        m_rateAsSet = -1.0f;
    } else {
        started = m_player->setRate(1.0, &error);
    }
    if (!started) {
        lq::log(QStringLiteral("Playback could not start: %1\n").arg(error.localizedDescription()));
        playbackStopped();
    }
    return started;
}

void LQPlayerSession::startPending()
{
    const std::optional<double> position = std::exchange(m_pendingPosition, std::nullopt);
    if (position)
        setCurrentTime(*position);
    const std::optional<PendingStart> pending = std::exchange(m_pendingStart, std::nullopt);
    const std::optional<float> rate = std::exchange(m_pendingRate, std::nullopt);
    if (!pending || !m_playing)
        return;
    if (!m_composition || !m_player) {
        // Already logged: the timeline cannot be played.
        playbackStopped();
        return;
    }
    if (start(pending->offset, pending->backwards) && rate)
        setRate(*rate);
}

void LQPlayerSession::applyVolume()
{
    if (!m_playing || !m_player || !m_initialVolume)
        return;
    const QVariant boost = lq::UserDefaults::standard().object(kAudioBoostKey);
    const float factor = lq::UserDefaults::standard().floatForKey(kAudioBoostKey);
    m_player->setVolume(boost.isValid() && factor >= 0.0f ? factor * *m_initialVolume
                                                          : *m_initialVolume);
}

bool LQPlayerSession::stopPlaying()
{
    if (!m_playing || (!m_composition && !m_loading))
        return false;
    m_pendingStart.reset();
    m_pendingRate.reset();
    if (m_player)
        m_player->pause();
    playbackStopped();
    return true;
}

void LQPlayerSession::playbackStopped()
{
    m_playing = false;
    lq::NotificationCenter::defaultCenter().removeObserver(this);
    lq::NotificationCenter::defaultCenter().post(kDidEndPlaying, this);
}

void LQPlayerSession::itemDidReachEnd()
{
    if (!m_playing)
        return;
    playbackStopped();
    if (m_rateAsSet < 0.0f)
        setCurrentTime(0.0);
}

void LQPlayerSession::itemFailedToReachEnd(const lq::Error &error)
{
    lq::log(
        QStringLiteral("Player item failed to reach end: %1\n").arg(error.localizedDescription()));
    if (m_playing)
        playbackStopped();
}

bool LQPlayerSession::setRate(float rate)
{
    if (m_playing && m_loading) {
        m_pendingRate = rate;
        m_rateAsSet = rate;
        return true;
    }
    if (!m_playing || !m_composition || !m_player)
        return false;
    lq::Error error;
    if (!m_player->setRate(rate, &error)) {
        lq::log(QStringLiteral("The playback rate could not change: %1\n")
                    .arg(error.localizedDescription()));
        return false;
    }
    m_rateAsSet = rate;
    return true;
}

bool LQPlayerSession::currentTime(double *seconds)
{
    if (m_playing && m_loading) {
        // Where playback will begin; unknown for the end of a timeline not read yet.
        std::optional<double> start = m_pendingPosition.value_or(0.0);
        if (m_pendingStart && m_pendingStart->offset)
            start = m_pendingStart->offset;
        else if (m_pendingStart && m_pendingStart->backwards)
            start.reset();
        if (start && seconds)
            *seconds = *start;
        return start.has_value();
    }
    if (!m_playing || !m_player)
        return false;
    const std::optional<double> position = m_player->position();
    if (position && seconds)
        *seconds = *position;
    return position.has_value();
}

bool LQPlayerSession::length(double *seconds)
{
    if (!m_composition)
        return false;
    if (seconds)
        *seconds = m_composition->duration();
    return true;
}

void LQPlayerSession::setCurrentTime(double seconds)
{
    if (m_loading) {
        m_pendingPosition = seconds;
        return;
    }
    lq::Error error;
    if (m_player && !m_player->seek(seconds, &error))
        lq::log(error.localizedDescription());
}

void LQPlayerSession::unload()
{
    m_player.reset();
    m_surface = nullptr;
    m_initialVolume.reset();
    m_composition.reset();
    m_pendingStart.reset();
    m_pendingRate.reset();
    m_pendingPosition.reset();
}

bool LQPlayerSession::trimFrom(std::optional<double> offset, QStringList *newFiles)
{
    const QString folder = path();
    const QStringList names = m_movieFiles;
    if (names.isEmpty() || folder.isEmpty() || m_playing || offset.value_or(0.0) < 0.0)
        return false;
    // The engine lets go of the files before they change, and is not used again.
    unload();
    ++m_loadNumber;
    m_loading = false;
    m_movieFiles.clear();
    setPath(QString());
    return cropMediaFiles(folder, names, offset.value_or(0.0), newFiles);
}
