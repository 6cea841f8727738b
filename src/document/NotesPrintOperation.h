#pragma once

#include <memory>

class QPrinter;
class QTextDocument;

// A copy of a note's text, taken when the operation is made, printed on the printer's paper with
// margins of 72 points all round (the text laid out on the paper less 144 points).
class NotesPrintOperation
{
public:
    explicit NotesPrintOperation(const QTextDocument &text);
    ~NotesPrintOperation();
    NotesPrintOperation(const NotesPrintOperation &) = delete;
    NotesPrintOperation &operator=(const NotesPrintOperation &) = delete;

    // The printer keeps its paper and the user's other choices; its margins become 72 points.
    void print(QPrinter &printer) const;

private:
    std::unique_ptr<QTextDocument> m_text;
};
