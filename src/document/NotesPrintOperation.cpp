#include "document/NotesPrintOperation.h"

#include <QMarginsF>
#include <QPrinter>
#include <QTextDocument>

namespace {

constexpr double kMargin = 72.0;

} // namespace

NotesPrintOperation::NotesPrintOperation(const QTextDocument &text) : m_text(text.clone())
{}

NotesPrintOperation::~NotesPrintOperation() = default;

void NotesPrintOperation::print(QPrinter &printer) const
{
    printer.setPageMargins(QMarginsF(kMargin, kMargin, kMargin, kMargin), QPageLayout::Point);
    // Unpaginated, the copy is laid out afresh on the page's printable area.
    m_text->print(&printer);
}
