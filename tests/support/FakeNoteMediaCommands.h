#pragma once

#include "document/NoteMediaCommands.h"

#include <QStringList>

namespace lq::test {

// Logs the note's commands by name: "addSlides:<path>", "importMediaFromFile:<path>",
// "gotoSlide:<n>".
class FakeNoteMediaCommands : public NoteMediaCommands
{
public:
    void addSlides(const QString &path) override
    {
        calls.append(QStringLiteral("addSlides:") + path);
    }
    void importMediaFromFile(const QString &path) override
    {
        calls.append(QStringLiteral("importMediaFromFile:") + path);
    }
    void gotoSlide(uint32_t slide) override
    {
        calls.append(QStringLiteral("gotoSlide:%1").arg(slide));
    }

    QStringList calls;
};

} // namespace lq::test
