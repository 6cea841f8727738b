#pragma once

#include <QString>

#include <cstdint>

// The note's commands that the slides and media panes call: adding slides or media, and
// stamping or following a slide change the user made. The note installs them in its window
// controller; without them the panes show what the user does and tell nobody.
class NoteMediaCommands
{
public:
    virtual ~NoteMediaCommands() = default;
    virtual void addSlides(const QString &path) = 0;
    virtual void importMediaFromFile(const QString &path) = 0;
    virtual void gotoSlide(uint32_t slide) = 0;
};
