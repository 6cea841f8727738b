#pragma once

#include <QFont>
#include <QString>

namespace lq {

// A font of the text as stored: its PostScript name ("Helvetica-Bold") and point size. The name
// is kept as it stands even when the system lacks the font and a substitute is displayed.
struct TextFont
{
    QString postScriptName;
    double pointSize = 12.0;

    friend bool operator==(const TextFont &, const TextFont &) = default;
};

// The QFont that displays a stored font: the family and style fontconfig gives for the
// PostScript name, or, for a font the system lacks, the family and style read from the name so
// that Qt picks a substitute. Answers are cached; safe on any thread.
QFont displayFont(const TextFont &font);

// The stored form of a QFont chosen on this system: fontconfig's PostScript name of the face
// that matches its family and style.
TextFont textFontFromQFont(const QFont &font);

} // namespace lq
