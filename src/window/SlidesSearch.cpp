#include "window/SlidesSearch.h"

#include "platform/foundation/MainThread.h"
#include "window/SlidesPages.h"

#include <functional>

SlidesSearch::SlidesSearch(QObject *parent) : QObject(parent)
{}

SlidesSearch::~SlidesSearch()
{
    cancel();
}

void SlidesSearch::cancel()
{
    ++m_generation;
    if (m_cancelled)
        m_cancelled->store(true);
    // Its posts name this object, so it ends before the object does.
    if (m_thread.joinable())
        m_thread.join();
    m_cancelled.reset();
}

void SlidesSearch::start(std::shared_ptr<SlidesPages> pages, const QString &text)
{
    cancel();
    if (!pages || text.isEmpty())
        return;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    m_thread =
        std::thread([this, pages = std::move(pages), text, generation = m_generation,
                     cancelled = m_cancelled] { search(pages, text, generation, *cancelled); });
}

void SlidesSearch::search(const std::shared_ptr<SlidesPages> &pages, const QString &text,
                          unsigned generation, const std::atomic<bool> &cancelled)
{
    const auto deliver = [this, generation](std::function<void()> work) {
        lq::postToMainThread(this, [this, generation, work = std::move(work)] {
            if (generation == m_generation)
                work();
        });
    };
    std::vector<Match> matches;
    for (int page = 0; page < pages->pageCount(); ++page) {
        if (cancelled.load())
            return;
        const bool hadNone = matches.empty();
        for (const QRectF &bounds : pages->matchesOnPage(page, text))
            matches.push_back({page, bounds});
        if (hadNone && !matches.empty())
            deliver([this, first = matches.front()] { Q_EMIT firstMatchFound(first); });
    }
    deliver([this, matches = std::move(matches)] { Q_EMIT finished(matches); });
}
