#include "document/ImportMediaView.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace {

// The ground under the gradients: the bar keeps its light look and dark labels in every theme.
const QColor kGround(0xec, 0xec, 0xec);
constexpr qreal kLabelInset = 4.0;
constexpr qreal kLabelLift = 2.0;

double usableLength(float seconds)
{
    return std::isfinite(seconds) && seconds > 0 ? seconds : 0.0;
}

} // namespace

ImportMediaView::ImportMediaView(QWidget *parent) : QWidget(parent)
{}

void ImportMediaView::setHasAudio(bool hasAudio, uint32_t session)
{
    m_hasAudio.insert(session, hasAudio);
    update();
}

void ImportMediaView::setHasVideo(bool hasVideo, uint32_t session)
{
    m_hasVideo.insert(session, hasVideo);
    update();
}

void ImportMediaView::setLength(float seconds, uint32_t session)
{
    m_lengths.insert(session, seconds);
    update();
}

void ImportMediaView::setNumSessions(uint32_t count)
{
    m_numSessions = count;
    update();
}

void ImportMediaView::setDisplayTime(bool display)
{
    m_displayTime = display;
    update();
}

ImportMediaView::MediaClass ImportMediaView::classify(bool hasAudio, bool hasVideo)
{
    if (hasAudio && hasVideo)
        return MediaClass::AudioAndVideo;
    if (hasAudio)
        return MediaClass::AudioOnly;
    return hasVideo ? MediaClass::VideoOnly : MediaClass::Neither;
}

QColor ImportMediaView::colourOf(MediaClass mediaClass)
{
    switch (mediaClass) {
    case MediaClass::AudioAndVideo:
        return QColor::fromRgbF(0.9140625f, 0.4921875f, 0.12890625f);
    case MediaClass::AudioOnly:
        return QColor::fromRgbF(1, 0, 0);
    case MediaClass::VideoOnly:
        return QColor::fromRgbF(1, 1, 0);
    case MediaClass::Neither:
        break;
    }
    return QColor::fromRgbF(1, 1, 1);
}

QString ImportMediaView::timeLabel(double seconds)
{
    const auto whole = static_cast<long long>(seconds > 0 ? seconds : 0);
    return QString::asprintf("%d:%02d:%02d", static_cast<int>(whole / 3600),
                             static_cast<int>(whole / 60 % 60), static_cast<int>(whole % 60));
}

QList<ImportMediaView::Segment> ImportMediaView::segments(const QRectF &bounds,
                                                          const QFontMetricsF &metrics) const
{
    double total = 0;
    for (const float length : m_lengths)
        total += usableLength(length);
    QList<Segment> result;
    if (total <= 0)
        return result; // nothing has a length to share out
    const double scale = bounds.width() / total;
    qreal left = bounds.left();
    for (uint32_t i = 0; i < m_numSessions; ++i) {
        const double length = usableLength(m_lengths.value(i, 0.0f));
        Segment segment;
        segment.rect = QRectF(left, bounds.top(), length * scale, bounds.height());
        segment.colour = colourOf(classify(m_hasAudio.value(i, false), m_hasVideo.value(i, false)));
        left = segment.rect.right();
        if (m_displayTime) {
            const QString label = timeLabel(length);
            const qreal width = metrics.horizontalAdvance(label);
            if (width < segment.rect.width() - 2 * kLabelInset) {
                segment.label = label;
                segment.labelRect = QRectF(segment.rect.right() - kLabelInset - width,
                                           bounds.bottom() - kLabelLift - metrics.height(), width,
                                           metrics.height());
            }
        }
        result.append(segment);
    }
    return result;
}

QSize ImportMediaView::sizeHint() const
{
    return {360, 36};
}

QSize ImportMediaView::minimumSizeHint() const
{
    return {16, 12};
}

void ImportMediaView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    painter.fillRect(bounds, kGround);
    painter.setPen(Qt::black);
    for (const Segment &segment : segments(bounds, QFontMetricsF(font()))) {
        QLinearGradient gradient(segment.rect.topLeft(), segment.rect.bottomLeft());
        QColor faded = segment.colour;
        faded.setAlphaF(0.3f);
        gradient.setColorAt(0, segment.colour);
        gradient.setColorAt(1, faded);
        painter.fillRect(segment.rect, gradient);
        if (!segment.label.isEmpty())
            painter.drawText(segment.labelRect, Qt::AlignLeft | Qt::AlignVCenter, segment.label);
    }
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5));
}
