#pragma once

#include "platform/ui/Beeper.h"
#include "platform/ui/HelpBook.h"

#include <QStringList>

namespace lq::test {

// Counts beeps while it lives.
class CountingBeeper : public Beeper
{
public:
    CountingBeeper() : m_previous(Beeper::setCurrent(this)) {}
    ~CountingBeeper() override { Beeper::setCurrent(m_previous); }
    CountingBeeper(const CountingBeeper &) = delete;
    CountingBeeper &operator=(const CountingBeeper &) = delete;

    void beep() override { ++beeps; }
    int beeps = 0;

private:
    Beeper *m_previous;
};

// Records the help pages asked for while it lives, showing none.
class RecordingHelpBook : public HelpBook
{
public:
    RecordingHelpBook() : m_previous(HelpBook::setCurrent(this)) {}
    ~RecordingHelpBook() override { HelpBook::setCurrent(m_previous); }
    RecordingHelpBook(const RecordingHelpBook &) = delete;
    RecordingHelpBook &operator=(const RecordingHelpBook &) = delete;

    void openPage(const QString &page) override { pages.append(page); }
    QStringList pages;

private:
    HelpBook *m_previous;
};

} // namespace lq::test
