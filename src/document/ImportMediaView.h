#pragma once

#include <QColor>
#include <QList>
#include <QMap>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <cstdint>

class QFontMetricsF;

// A note's sessions as a bar of segments, each as wide as its share of the whole length and
// coloured by what it recorded; also the swatches of the import dialog's colour key.
class ImportMediaView final : public QWidget
{
public:
    enum class MediaClass { AudioAndVideo, AudioOnly, VideoOnly, Neither };

    struct Segment
    {
        QRectF rect;
        QColor colour;
        QString label;    // empty when no length is shown
        QRectF labelRect; // where the label goes
    };

    explicit ImportMediaView(QWidget *parent = nullptr);

    void setHasAudio(bool hasAudio, uint32_t session);
    void setHasVideo(bool hasVideo, uint32_t session);
    void setLength(float seconds, uint32_t session);
    uint32_t numSessions() const { return m_numSessions; }
    void setNumSessions(uint32_t count);
    bool displayTime() const { return m_displayTime; }
    void setDisplayTime(bool display);

    // The segments in bounds, their labels measured with metrics.
    QList<Segment> segments(const QRectF &bounds, const QFontMetricsF &metrics) const;

    static MediaClass classify(bool hasAudio, bool hasVideo);
    static QColor colourOf(MediaClass mediaClass);
    // "h:mm:ss", each part truncated.
    static QString timeLabel(double seconds);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    uint32_t m_numSessions = 1;
    QMap<uint32_t, bool> m_hasAudio;
    QMap<uint32_t, bool> m_hasVideo;
    QMap<uint32_t, float> m_lengths;
    bool m_displayTime = true;
};
