#include "document/ImportProgressWindow.h"

#include "shared/WindowFitting.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ImportProgressWindow::ImportProgressWindow(QWidget *parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(tr("Import Audio/Video"));
    setWindowModality(Qt::ApplicationModal);
    auto *column = new QVBoxLayout(this);
    m_text = new QLabel(tr("Importing audio/video…"));
    m_indicator = new QProgressBar;
    m_indicator->setTextVisible(false);
    m_indicator->setMinimumWidth(260);
    m_cancel = new QPushButton(tr("Cancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    column->addWidget(m_text);
    column->addWidget(m_indicator);
    column->addLayout(buttons);
    connect(m_cancel, &QPushButton::clicked, this, &ImportProgressWindow::cancelClicked);
}

void ImportProgressWindow::start()
{
    m_indicator->setRange(0, 0);
    adjustSize();
    fitWindowToDocument(this, nullptr);
    show();
    raise();
}

void ImportProgressWindow::stop()
{
    m_indicator->setRange(0, 1);
    m_indicator->reset();
    hide();
}

void ImportProgressWindow::closeEvent(QCloseEvent *event)
{
    // The window stays until the import ends; closing it asks to cancel.
    event->ignore();
    if (!m_cancel->isHidden())
        Q_EMIT cancelClicked();
}
