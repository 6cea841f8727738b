#include "document/ImportMediaWindow.h"

#include "document/ImportMediaView.h"
#include "shared/WindowFitting.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr int kArrowSize = 24;
constexpr int kSwatchSize = 14;

// An arrow pointing to where the new session goes, in the theme's highlight colour.
class PlacementArrow final : public QWidget
{
public:
    // angle: 0 points right, 90 down, 180 left
    explicit PlacementArrow(qreal angle) : m_angle(angle)
    {
        setFixedSize(kArrowSize, kArrowSize);
        QSizePolicy policy = sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        setSizePolicy(policy);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(width() / 2.0, height() / 2.0);
        painter.rotate(m_angle);
        const qreal half = kArrowSize / 2.0 - 2;
        QPainterPath arrow;
        arrow.moveTo(half, 0);
        arrow.lineTo(0, -half);
        arrow.lineTo(0, -half / 2.5);
        arrow.lineTo(-half, -half / 2.5);
        arrow.lineTo(-half, half / 2.5);
        arrow.lineTo(0, half / 2.5);
        arrow.lineTo(0, half);
        arrow.closeSubpath();
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Highlight));
        painter.drawPath(arrow);
    }

private:
    qreal m_angle;
};

void keepSpaceWhenHidden(QWidget *widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace

ImportMediaWindow::ImportMediaWindow(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Import Audio/Video"));
    setModal(true);
    auto *column = new QVBoxLayout(this);
    column->setSpacing(12);
    column->addWidget(buildSessionsRow());
    column->addWidget(buildKey());
    column->addWidget(buildChoices());
    m_warningField = new QLabel;
    m_warningField->setWordWrap(true);
    m_warningField->setMinimumHeight(QFontMetrics(m_warningField->font()).lineSpacing() * 2);
    m_warningField->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(m_warningField);
    column->addWidget(buildFooter());
    setProgressShown(false);
}

QWidget *ImportMediaWindow::buildSessionsRow()
{
    auto *row = new QWidget;
    auto *grid = new QGridLayout(row);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    m_replaceArrow = new PlacementArrow(90);
    m_beforeArrow = new PlacementArrow(0);
    m_appendArrow = new PlacementArrow(180);
    m_sessionsView = new ImportMediaView;
    m_sessionsView->setMinimumSize(360, 36);
    m_sessionsView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grid->addWidget(m_replaceArrow, 0, 1, Qt::AlignHCenter);
    grid->addWidget(m_beforeArrow, 1, 0, Qt::AlignVCenter);
    grid->addWidget(m_sessionsView, 1, 1);
    grid->addWidget(m_appendArrow, 1, 2, Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);
    return row;
}

QWidget *ImportMediaWindow::buildKey()
{
    auto *key = new QWidget;
    auto *row = new QHBoxLayout(key);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    for (int i = 0; i < kKeyCount; ++i) {
        m_keyViews[i] = new ImportMediaView;
        m_keyViews[i]->setFixedSize(kSwatchSize, kSwatchSize);
        m_keyTextFields[i] = new QLabel;
        row->addWidget(m_keyViews[i]);
        row->addWidget(m_keyTextFields[i]);
        row->addSpacing(10);
        setKeyShown(i, false);
    }
    row->addStretch();
    return key;
}

QWidget *ImportMediaWindow::buildChoices()
{
    auto *choices = new QWidget;
    auto *column = new QVBoxLayout(choices);
    column->setContentsMargins(0, 0, 0, 0);
    m_radioButtons = new QButtonGroup(this);
    const std::pair<int, QString> cells[] = {{kAtBeginning, tr("At the beginning")},
                                             {kReplaceAll, tr("Replace all")},
                                             {kAtEnd, tr("At the end")}};
    for (const auto &[id, title] : cells) {
        auto *button = new QRadioButton(title);
        m_radioButtons->addButton(button, id);
        column->addWidget(button);
    }
    connect(m_radioButtons, &QButtonGroup::idClicked, this, &ImportMediaWindow::choiceClicked);
    return choices;
}

QWidget *ImportMediaWindow::buildFooter()
{
    auto *footer = new QWidget;
    auto *column = new QVBoxLayout(footer);
    column->setContentsMargins(0, 0, 0, 0);
    auto *progress = new QHBoxLayout;
    m_progressText = new QLabel(tr("Importing audio/video…"));
    m_progressIndicator = new QProgressBar;
    m_progressIndicator->setTextVisible(false);
    keepSpaceWhenHidden(m_progressText);
    keepSpaceWhenHidden(m_progressIndicator);
    progress->addWidget(m_progressText);
    progress->addWidget(m_progressIndicator, 1);
    column->addLayout(progress);

    auto *buttons = new QHBoxLayout;
    m_cancelButton = new QPushButton(tr("Cancel"));
    m_okButton = new QPushButton(tr("OK"));
    m_okButton->setDefault(true);
    keepSpaceWhenHidden(m_cancelButton);
    keepSpaceWhenHidden(m_okButton);
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_okButton);
    column->addLayout(buttons);
    connect(m_okButton, &QPushButton::clicked, this, &ImportMediaWindow::okClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &ImportMediaWindow::reject);
    return footer;
}

void ImportMediaWindow::setKeyShown(int index, bool shown)
{
    m_keyViews.at(index)->setVisible(shown);
    m_keyTextFields.at(index)->setVisible(shown);
}

void ImportMediaWindow::setProgressShown(bool shown)
{
    m_progressIndicator->setRange(0, shown ? 0 : 1);
    m_progressIndicator->reset();
    m_progressText->setVisible(shown);
    m_progressIndicator->setVisible(shown);
}

void ImportMediaWindow::centre()
{
    adjustSize();
    fitWindowToDocument(this, nullptr);
}

void ImportMediaWindow::reject()
{
    if (!m_cancelButton->isHidden())
        QDialog::reject();
}
