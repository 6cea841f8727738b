#include "document/BMProgressController.h"

#include "platform/foundation/MainThread.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace {

constexpr int kWindowWidth = 360;

} // namespace

std::unique_ptr<BMProgressController> BMProgressController::create(const QString &title,
                                                                   const QString &text)
{
    return std::unique_ptr<BMProgressController>(new BMProgressController(title, text));
}

BMProgressController::BMProgressController(const QString &title, const QString &text)
    : m_window(std::make_unique<QWidget>(nullptr, Qt::Dialog | Qt::CustomizeWindowHint |
                                                      Qt::WindowTitleHint))
{
    m_window->setWindowTitle(title);
    auto *layout = new QVBoxLayout(m_window.get());
    m_text = new QLabel(text, m_window.get());
    m_text->setWordWrap(true);
    m_bar = new QProgressBar(m_window.get());
    m_bar->setRange(0, 0);
    m_bar->setTextVisible(false);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    m_window->setFixedWidth(kWindowWidth);
    m_window->adjustSize();
}

BMProgressController::~BMProgressController() = default;

void BMProgressController::show()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (const QScreen *screen =
            m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->repaint();
    // A quit asked for meanwhile waits until the caller's work is done.
    lq::processPendingEvents(QEventLoop::ExcludeUserInputEvents);
}

void BMProgressController::hide()
{
    m_window->close();
}
