#include "document/ExportProgressWindow.h"

#include "shared/WindowFitting.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSteps = 1000;

} // namespace

ExportProgressWindow::ExportProgressWindow(QWidget *parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(tr("Export Audio/Video"));
    auto *column = new QVBoxLayout(this);
    auto *text = new QLabel(tr("Exporting audio/video…"));
    m_indicator = new QProgressBar;
    m_indicator->setRange(0, kSteps);
    m_indicator->setTextVisible(false);
    m_indicator->setMinimumWidth(300);
    m_timeRemaining = new QLabel;
    m_cancel = new QPushButton(tr("Cancel"));
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_timeRemaining, 1);
    bottom->addWidget(m_cancel);
    column->addWidget(text);
    column->addWidget(m_indicator);
    column->addLayout(bottom);
    connect(m_cancel, &QPushButton::clicked, this, &ExportProgressWindow::cancelClicked);
}

void ExportProgressWindow::beginModalSession()
{
    m_indicator->setValue(0);
    m_timeRemaining->clear();
    setWindowModality(Qt::ApplicationModal);
    adjustSize();
    fitWindowToDocument(this, nullptr);
    show();
    raise();
    runModalSessionOnce();
}

void ExportProgressWindow::endModalSession()
{
    m_indicator->setValue(0);
    hide();
    setWindowModality(Qt::NonModal);
}

void ExportProgressWindow::setProgress(double fraction)
{
    m_indicator->setValue(int(std::lround(std::clamp(fraction, 0.0, 1.0) * kSteps)));
}

void ExportProgressWindow::setTimeRemainingText(const QString &text)
{
    m_timeRemaining->setText(text);
}

void ExportProgressWindow::runModalSessionOnce()
{
    QCoreApplication::processEvents();
}

void ExportProgressWindow::closeEvent(QCloseEvent *event)
{
    // The window goes when the export ends; closing it asks to cancel.
    event->ignore();
    Q_EMIT cancelClicked();
}
