#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

using GstElement = struct _GstElement;

namespace lq::test {

// Sound is analysed as mono samples at this rate.
constexpr int kAnalysisRate = 16000;

// Takes in the sound of a pipeline as mono samples at kAnalysisRate. Main thread only; the
// samples arrive on GStreamer's threads.
class SoundCapture
{
public:
    // The whole sound of a media file; empty, with why, when it cannot be decoded.
    static std::vector<float> decode(const QString &path, QString *why);
    // Starts recording what a live source element gives (the capture takes it over); null, with
    // why, when it cannot start.
    static std::unique_ptr<SoundCapture> record(GstElement *source, QString *why);

    ~SoundCapture();
    SoundCapture(const SoundCapture &) = delete;
    SoundCapture &operator=(const SoundCapture &) = delete;

    // Stops and hands back everything taken in; why tells of a failure on the way.
    std::vector<float> stop(QString *why);

private:
    struct Samples
    {
        std::mutex mutex;
        std::vector<float> values;
    };

    explicit SoundCapture(GstElement *pipeline);
    bool play(QString *why);
    // The error the pipeline posted, or empty; waits up to timeoutNs for end of stream.
    QString waitForEnd(unsigned long long timeoutNs) const;
    std::vector<float> take();

    GstElement *m_pipeline;
    Samples m_samples;
};

// A steady tone played into the program's sound output until it goes.
class TonePlayer
{
public:
    // Null, with why, when the tone cannot play.
    static std::unique_ptr<TonePlayer> play(double frequency, QString *why);
    ~TonePlayer();
    TonePlayer(const TonePlayer &) = delete;
    TonePlayer &operator=(const TonePlayer &) = delete;

private:
    explicit TonePlayer(GstElement *pipeline) : m_pipeline(pipeline) {}
    GstElement *m_pipeline;
};

} // namespace lq::test
