#include "document/BMColorPicker.h"

#include "document/BMColorWell.h"
#include "document/HighlightColors.h"
#include "document/SharedColorPanel.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

#include <QColorDialog>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace {

// Closes after a short delay, as the panels do once a choice was made.
constexpr int kCloseDelayMs = 100;
constexpr int kButtonHeight = 19;

void post(const char *name, const BMColorPicker *picker)
{
    lq::NotificationCenter::defaultCenter().post(QString::fromLatin1(name),
                                                 static_cast<const QObject *>(picker));
}

} // namespace

BMColorPicker::BMColorPicker(QWidget *parent)
    : QWidget(parent), m_currentWell(new BMColorWell(this))
{
    setFocusPolicy(Qt::NoFocus);
    resize(kDefaultSize);
    m_currentWell->setShowDisclosureTriangle(true);
    m_currentWell->setGeometry(rect());
    updateColors();
}

BMColorPicker::~BMColorPicker()
{
    if (m_panelClosed)
        colorPanelClosing();
    delete m_chooser;
}

void BMColorPicker::setTarget(QObject *target)
{
    disconnect(m_editableConnection);
    m_target = target;
    if (!target)
        return;
    const QMetaObject *meta = target->metaObject();
    const int changed = meta->indexOfSignal("editableChanged(bool)");
    if (changed >= 0)
        m_editableConnection =
            connect(target, meta->method(changed), this,
                    metaObject()->method(metaObject()->indexOfSlot("setEnabled(bool)")));
}

bool BMColorPicker::selected() const
{
    return m_currentWell->selected();
}

void BMColorPicker::setSelected(bool selected)
{
    m_currentWell->setSelected(selected);
}

QColor BMColorPicker::color() const
{
    return m_currentWell->color();
}

void BMColorPicker::setColor(const std::optional<QColor> &color)
{
    m_currentWell->setColor(color ? *color : colors().first());
}

QList<QColor> BMColorPicker::colors() const
{
    return highlight_colors::workingList(lq::UserDefaults::standard());
}

void BMColorPicker::resizeEvent(QResizeEvent *event)
{
    m_currentWell->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void BMColorPicker::showEvent(QShowEvent *event)
{
    watchWindow();
    QWidget::showEvent(event);
}

void BMColorPicker::watchWindow()
{
    QWidget *top = window();
    if (top == m_watchedWindow || top == this)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top;
    top->installEventFilter(this);
}

bool BMColorPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow && m_chooser) {
        if (event->type() == QEvent::Move) {
            resetChooserPosition();
            if (m_chooser->isVisible())
                m_chooser->raise();
        } else if (event->type() == QEvent::WindowActivate && m_chooser->isVisible()) {
            parentWindowBecameKey();
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Clicks

void BMColorPicker::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::RightButton) {
        rightClick();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const bool inTriangle = m_currentWell->showDisclosureTriangle() &&
                            m_currentWell->triangleFrame().contains(event->position().toPoint());
    if (inTriangle || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        rightClick();
        return;
    }
    setSelected(!selected());
    if (selected())
        sendSelectedAction();
    else
        sendDeselectedAction();
    if (m_chooser && m_chooser->isVisible())
        closeChooser();
}

void BMColorPicker::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The first click of the two has acted already.
    event->accept();
}

void BMColorPicker::rightClick()
{
    if (!m_chooser || !m_chooser->isVisible())
        showChooser();
    else
        closeChooser();
}

void BMColorPicker::sendSelectedAction()
{
    if (m_target && m_target->metaObject()->indexOfMethod("highlightSelectedAction(QColor)") >= 0)
        QMetaObject::invokeMethod(m_target, "highlightSelectedAction", Qt::DirectConnection,
                                  Q_ARG(QColor, color()));
}

void BMColorPicker::sendDeselectedAction()
{
    if (m_target && m_target->metaObject()->indexOfMethod("highlightDeselectedAction()") >= 0)
        QMetaObject::invokeMethod(m_target, "highlightDeselectedAction", Qt::DirectConnection);
}

// The chooser

void BMColorPicker::showChooser()
{
    if (m_chooser)
        resetChooserPosition();
    else
        createChooser();
    updateColors();
    m_chooser->show();
    m_chooser->raise();
    m_chooser->activateWindow();
}

void BMColorPicker::createChooser()
{
    const int w = m_currentWell->width();
    const int h = m_currentWell->height();
    const int height = 4 * h + 73;
    auto *panel = new QWidget(window() == this ? nullptr : window(),
                              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                  Qt::WindowCloseButtonHint);
    panel->setObjectName(QStringLiteral("highlighterChooser"));
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    panel->setStyleSheet(QStringLiteral(
        "QWidget#highlighterChooser { background-color: rgb(40, 40, 40); }"
        "QPushButton { color: white; background-color: rgb(72, 72, 72);"
        " border: 1px solid rgb(110, 110, 110); border-radius: 4px; padding: 0 4px; }"
        "QPushButton:pressed { background-color: rgb(100, 100, 100); }"));
    int width = w + 10;
    QList<std::pair<QPushButton *, int>> buttons;
    for (const auto &[title, bottom] : {std::pair{tr("Other"), 29}, std::pair{tr("Reset"), 5}}) {
        auto *button = new QPushButton(title, panel);
        button->setFocusPolicy(Qt::NoFocus);
        const int titleWidth = button->fontMetrics().horizontalAdvance(title);
        if (width < titleWidth + 30)
            width = titleWidth + 30;
        buttons.append({button, bottom});
    }
    for (int k = 0; k < 4; ++k) {
        auto *choice = new BMColorChoice(panel);
        choice->setColorPicker(this);
        const int bottom = 38 + k * h + (k + 3) * (height - 4 * h - 38) / 7;
        choice->setGeometry((width - w) / 2, height - bottom - h, w, h);
        m_choices.append(choice);
    }
    for (const auto &[button, bottom] : buttons) {
        const int titleWidth = button->fontMetrics().horizontalAdvance(button->text());
        const int buttonWidth = std::max(w, std::min(titleWidth + 20, width - 10));
        button->setGeometry((width - buttonWidth) / 2, height - bottom - kButtonHeight, buttonWidth,
                            kButtonHeight);
        button->raise();
    }
    connect(buttons[0].first, &QPushButton::clicked, this, &BMColorPicker::otherClicked);
    connect(buttons[1].first, &QPushButton::clicked, this, &BMColorPicker::resetClicked);
    panel->setFixedSize(width, height);
    m_chooser = panel;
    watchWindow();
    resetChooserPosition();
}

void BMColorPicker::resetChooserPosition()
{
    if (!m_chooser)
        return;
    // Centred below the pen, its top edge at the pen's bottom.
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const QRect frame = m_chooser->frameGeometry();
    m_chooser->move(origin.x() - (frame.width() - width()) / 2, origin.y() + height());
}

void BMColorPicker::closeChooser()
{
    if (m_chooser)
        m_chooser->close();
}

void BMColorPicker::parentWindowBecameKey()
{
    QTimer::singleShot(kCloseDelayMs, this, &BMColorPicker::closeChooser);
    if (m_showingColorPanel)
        SharedColorPanel::panel()->close();
}

void BMColorPicker::updateColors()
{
    const QList<QColor> recent = colors();
    m_currentWell->setColor(recent.at(0));
    // The lowest swatch shows the fifth colour, the top one the second.
    for (qsizetype k = 0; k < m_choices.size(); ++k)
        m_choices[k]->colorWell()->setColor(recent.at(4 - k));
}

void BMColorPicker::choiceClicked(BMColorChoice *choice)
{
    choose(choice->colorWell()->color());
}

void BMColorPicker::choose(const QColor &chosen)
{
    const QColor current = color();
    QList<QColor> recent{chosen, current};
    for (const QColor &color : colors()) {
        if (color != chosen && color != current)
            recent.append(color);
    }
    highlight_colors::store(lq::UserDefaults::standard(), recent);
    updateColors();
    closeChooser();
    setSelected(true);
    sendSelectedAction();
}

// The shared colour panel

void BMColorPicker::otherClicked()
{
    post(kOtherColorPickerStarted, this);
    m_showingColorPanel = true;
    QColorDialog *panel = SharedColorPanel::panel();
    disconnect(m_panelColor);
    disconnect(m_panelClosed);
    m_panelColor =
        connect(panel, &QColorDialog::currentColorChanged, this, &BMColorPicker::otherColor);
    m_panelClosed = connect(panel, &QDialog::finished, this, &BMColorPicker::colorPanelClosing);
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void BMColorPicker::otherColor(const QColor &color)
{
    // The first colour is the choice; the panel closes right after it.
    disconnect(m_panelColor);
    choose(color);
    QTimer::singleShot(kCloseDelayMs, SharedColorPanel::panel(),
                       [] { SharedColorPanel::panel()->close(); });
    m_showingColorPanel = false;
}

void BMColorPicker::colorPanelClosing()
{
    m_showingColorPanel = false;
    disconnect(m_panelColor);
    disconnect(m_panelClosed);
    m_panelClosed = {};
    post(kOtherColorPickerEnded, this);
}

void BMColorPicker::resetClicked()
{
    highlight_colors::reset(lq::UserDefaults::standard());
    updateColors();
}
