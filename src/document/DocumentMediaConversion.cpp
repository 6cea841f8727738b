#include "document/DocumentMediaConversion.h"

#include "document/BMProgressController.h"
#include "document/LQOldMediaConverter.h"
#include "platform/media/MediaPlayability.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

bool DocumentMediaPlayability::isPlayable(const QString &path)
{
    return lq::MediaPlayability().isPlayable(path);
}

DocumentMediaConversion::DocumentMediaConversion(std::function<QString()> temporaryFolder)
    : m_temporaryFolder(std::move(temporaryFolder))
{}

DocumentMediaConversion::~DocumentMediaConversion() = default;

std::unique_ptr<OldMediaConverter> DocumentMediaConversion::makeConverter()
{
    return std::make_unique<LQOldMediaConverter>(m_temporaryFolder());
}

void DocumentMediaConversion::showProgress(int fileCount)
{
    m_progress = BMProgressController::create(QStringLiteral("Converting"), QString());
    m_progress->windowText()->hide();
    m_progress->progressBar()->setRange(0, fileCount);
    m_progress->progressBar()->setValue(0);
    // Nothing else of the program takes input while the files change.
    m_progress->progressWindow()->setWindowModality(Qt::ApplicationModal);
    m_progress->show();
}

void DocumentMediaConversion::advanceProgress()
{
    if (m_progress)
        m_progress->progressBar()->setValue(m_progress->progressBar()->value() + 1);
}

void DocumentMediaConversion::closeProgress()
{
    if (m_progress)
        m_progress->hide();
    m_progress.reset();
}
