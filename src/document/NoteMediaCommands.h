#pragma once

#include <QString>

#include <cstdint>

// The note's commands that its window's slides and media panes call: adding slides or media, and
// stamping or following a slide change the user made. The note answers them; tests may install
// others in the window controller.
class NoteMediaCommands
{
public:
    virtual ~NoteMediaCommands() = default;
    virtual void addSlides(const QString &path) = 0;
    virtual void importMediaFromFile(const QString &path) = 0;
    virtual void gotoSlide(uint32_t slide) = 0;
};
