#pragma once

#include <QObject>
#include <QRectF>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class SlidesPages;

// Every case-insensitive occurrence of a text in a slides PDF, found page by page on a thread
// of its own, so the window keeps taking keys meanwhile. The first match is handed to the main
// thread as soon as it is found, then the whole list in reading order. Starting another search,
// cancelling or destroying the object stops the one running (within a page).
class SlidesSearch : public QObject
{
    Q_OBJECT
public:
    struct Match
    {
        int page = 0;
        QRectF bounds; // in points, from the page's top left corner
    };

    explicit SlidesSearch(QObject *parent = nullptr);
    ~SlidesSearch() override;

    void start(std::shared_ptr<SlidesPages> pages, const QString &text);
    void cancel();

Q_SIGNALS:
    void firstMatchFound(const SlidesSearch::Match &match);
    void finished(const std::vector<SlidesSearch::Match> &matches);

private:
    void search(const std::shared_ptr<SlidesPages> &pages, const QString &text, unsigned generation,
                const std::atomic<bool> &cancelled);

    std::thread m_thread;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    // Results of a search started before the newest one are dropped.
    unsigned m_generation = 0;
};
