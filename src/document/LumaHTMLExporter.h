#pragma once

#include "model/WrenTimeStamp.h"
#include "platform/foundation/Error.h"
#include "platform/text/AttributedString.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class WrenEvents;
typedef struct _xmlDoc xmlDoc;

// Writes the page "index.html" of a web export folder: the note's text as HTML with every
// visible character a link to its moment, the stamps as a script array indexed by link number,
// and the page's title lines, filled into the template "web/export_template.html" of the
// resources. The note's events are read, never changed.
class LumaHTMLExporter
{
public:
    static constexpr char kErrorDomain[] = "exporting";

    std::optional<lq::AttributedString> inputString;
    // A merged copy of the note's events (one session); may be null (no stamps).
    const WrenEvents *inputEvents = nullptr;
    bool hasAudio = false;
    bool hasVideo = false;
    bool hasSlides = false;
    uint64_t numberOfSlides = 0;
    QString title;
    std::optional<QString> origFilename;
    QString takenDateString;
    QString recordedLengthString;

    // Deletes whatever is at folder and writes the page and the text's images there.
    bool exportToFile(const QString &folder, lq::Error *error);

    // The converted body: each visible character in its link; none when the text and the HTML
    // cannot be matched.
    std::optional<QString> noteTextFromDoc(xmlDoc *doc);
    // The head's style elements, each followed by a line end.
    static QString noteStyleFromDoc(xmlDoc *doc);
    // Image sources beginning "file://" begin "." instead.
    static void fixImgTags(xmlDoc *doc);
    // The entity "&...;" at the start of string; none without a ";".
    static std::optional<QString> specialCharFromString(const QString &string);
    // The stamps as "var timestamps = [...];", key stamps indexed by link number.
    QString eventsJSArray() const;
    void enableDisableMediaInTemplate(QString &page) const;

private:
    // Gives link the stamp of its input character; false when the character is not in the text.
    bool fixUpEventsForChar(const QString &character, int32_t link, bool isSpecial);
    WrenTimeStampPtr stampOfInputCharacter(qsizetype index) const;
    QString filledTemplate(QString page, const QString &style, const QString &text) const;

    int32_t lastProcessedInputChar = -1;
    // The stamp each link shows (null: none).
    std::vector<WrenTimeStampPtr> m_linkStamps;
};
