#include "window/PlaybackPane.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "preferences/PrefsController.h"

#include <QCheckBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

namespace {

const QString kAudioBoostKey = QStringLiteral("audioBoost");
const QString kJumpBackTimeKey = QStringLiteral("defaultJumpBackTime");
constexpr float kBoostOff = -1.0f;
// The slider moves in tenths, from muted (0) to ten times the volume.
constexpr int kSliderScale = 10;
constexpr int kMaximumBoost = 10;
constexpr int kStartingBoost = 5; // shown until a boost is stored
constexpr int kDefaultJumpBackTime = 30;
constexpr double kMaximumLeadIn = 600.0;
constexpr int kFieldCharacters = 6;
constexpr int kFieldFrame = 12; // the field's frame and inner margins
constexpr int kIndent = 20;

lq::UserDefaults &defaults()
{
    return lq::UserDefaults::standard();
}

QLineEdit *makeSecondsField(QValidator *validator, const char *name)
{
    auto *field = new QLineEdit;
    field->setObjectName(name);
    field->setValidator(validator);
    field->setAlignment(Qt::AlignRight);
    field->setMaximumWidth(
        field->fontMetrics().horizontalAdvance(QString(kFieldCharacters, QLatin1Char('0'))) +
        kFieldFrame);
    return field;
}

// A field and the words after it, on one row.
QHBoxLayout *withUnit(QLineEdit *field, const QString &unit)
{
    auto *row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(new QLabel(unit));
    row->addStretch(1);
    return row;
}

} // namespace

PlaybackPane::PlaybackPane(PrefsController &prefs, QWidget *parent)
    : QWidget(parent)
    , m_prefs(prefs)
    , m_boostAudioCheckbox(new QCheckBox(tr("B&oost playback volume")))
    , m_boostAudioSlider(new QSlider(Qt::Horizontal))
    , m_boostAudioValue(new QLabel)
    , m_jumpTextField(makeSecondsField(new QIntValidator(this), "jumpTextField"))
    , m_eventBufferField(
          makeSecondsField(new QDoubleValidator(0.0, kMaximumLeadIn, 1, this), "eventBufferField"))
{
    m_boostAudioCheckbox->setObjectName("boostAudioCheckbox");
    m_boostAudioSlider->setObjectName("boostAudioSlider");
    m_boostAudioSlider->setRange(0, kMaximumBoost * kSliderScale);
    m_boostAudioSlider->setPageStep(kSliderScale);
    m_boostAudioSlider->setValue(kStartingBoost * kSliderScale);
    m_boostAudioSlider->setEnabled(false);
    m_boostAudioValue->setMinimumWidth(
        m_boostAudioValue->fontMetrics().horizontalAdvance(QStringLiteral("00.0×")));
    showBoost(m_boostAudioSlider->value());

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_boostAudioCheckbox);
    auto *boost = new QHBoxLayout;
    boost->setContentsMargins(kIndent, 0, 0, 0);
    boost->addWidget(m_boostAudioSlider, 1);
    boost->addWidget(m_boostAudioValue);
    layout->addLayout(boost);
    layout->addSpacing(kIndent / 2);
    auto *fields = new QFormLayout;
    for (const auto &[title, field] : {std::pair{tr("&Back button jumps:"), m_jumpTextField},
                                       {tr("&Start before a clicked word:"), m_eventBufferField}}) {
        auto *label = new QLabel(title);
        label->setBuddy(field);
        fields->addRow(label, withUnit(field, tr("seconds")));
    }
    layout->addLayout(fields);
    layout->addStretch(1);

    // The user's own actions only, so that filling the pane stores nothing.
    connect(m_boostAudioCheckbox, &QCheckBox::clicked, this,
            &PlaybackPane::boostAudioCheckboxPressed);
    connect(m_boostAudioSlider, &QSlider::actionTriggered, this,
            &PlaybackPane::boostAudioSliderMoved);
    connect(m_boostAudioSlider, &QSlider::valueChanged, this, &PlaybackPane::showBoost);
    connect(m_jumpTextField, &QLineEdit::editingFinished, this,
            &PlaybackPane::jumpTextFieldChanged);
    connect(m_eventBufferField, &QLineEdit::editingFinished, this,
            &PlaybackPane::eventBufferFieldChanged);
    fill();
}

void PlaybackPane::fill()
{
    if (defaults().contains(kAudioBoostKey) && defaults().floatForKey(kAudioBoostKey) >= 0.0f) {
        m_boostAudioCheckbox->setChecked(true);
        m_boostAudioSlider->setEnabled(true);
        m_boostAudioSlider->setValue(qRound(defaults().floatForKey(kAudioBoostKey) * kSliderScale));
    }
    showJumpBackTime();
    m_eventBufferField->setText(
        m_eventBufferField->validator()->locale().toString(std::max(0.0, m_prefs.eventBuffer())));
}

void PlaybackPane::boostAudioCheckboxPressed()
{
    if (m_boostAudioCheckbox->isChecked()) {
        m_boostAudioSlider->setEnabled(true);
        boostAudioSliderMoved();
        return;
    }
    m_boostAudioSlider->setEnabled(false);
    defaults().setFloat(kAudioBoostKey, kBoostOff);
    lq::NotificationCenter::defaultCenter().post(PrefsController::kAudioBoostChangedNotification,
                                                 &m_prefs);
}

void PlaybackPane::boostAudioSliderMoved()
{
    if (!m_boostAudioCheckbox->isChecked())
        return;
    // The position the user's action gives; the value follows it after this signal.
    defaults().setFloat(kAudioBoostKey,
                        float(m_boostAudioSlider->sliderPosition()) / float(kSliderScale));
    lq::NotificationCenter::defaultCenter().post(PrefsController::kAudioBoostChangedNotification,
                                                 &m_prefs);
}

void PlaybackPane::jumpTextFieldChanged()
{
    bool isNumber = false;
    const qlonglong seconds =
        m_jumpTextField->validator()->locale().toLongLong(m_jumpTextField->text(), &isNumber);
    if (isNumber && seconds >= 0) {
        defaults().setInteger(kJumpBackTimeKey, seconds);
    } else {
        showJumpBackTime(); // not stored: the stored time shows again
    }
    // Also when nothing was stored: observers read the stored time again.
    lq::NotificationCenter::defaultCenter().post(PrefsController::kJumpBackTimeChangedNotification,
                                                 &m_prefs);
}

void PlaybackPane::showJumpBackTime()
{
    m_jumpTextField->setText(QString::number(defaults().contains(kJumpBackTimeKey)
                                                 ? defaults().integerForKey(kJumpBackTimeKey)
                                                 : kDefaultJumpBackTime));
}

void PlaybackPane::eventBufferFieldChanged()
{
    bool isNumber = false;
    const double seconds =
        m_eventBufferField->validator()->locale().toDouble(m_eventBufferField->text(), &isNumber);
    if (isNumber)
        m_prefs.setEventBuffer(seconds);
}

void PlaybackPane::showBoost(int sliderPosition)
{
    m_boostAudioValue->setText(
        tr("%1×").arg(locale().toString(double(sliderPosition) / kSliderScale, 'f', 1)));
}
