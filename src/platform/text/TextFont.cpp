#include "platform/text/TextFont.h"

#include <QHash>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <memory>
#include <mutex>

namespace lq {

namespace {

struct FontFace
{
    QString family;
    QString style;
};

struct PatternDeleter
{
    void operator()(FcPattern *pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

QString patternString(FcPattern *pattern, const char *object)
{
    FcChar8 *value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char *>(value));
}

// "Helvetica-BoldOblique" -> family "Helvetica", style "BoldOblique".
FontFace faceFromName(const QString &postScriptName)
{
    const qsizetype dash = postScriptName.lastIndexOf(u'-');
    if (dash <= 0)
        return {postScriptName, {}};
    return {postScriptName.left(dash), postScriptName.mid(dash + 1)};
}

FontFace lookUpFace(const QString &postScriptName)
{
    const QByteArray name = postScriptName.toUtf8();
    PatternPtr pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_POSTSCRIPT_NAME,
                       reinterpret_cast<const FcChar8 *>(name.constData()));
    std::unique_ptr<FcObjectSet, decltype(&FcObjectSetDestroy)> objects(
        FcObjectSetBuild(FC_FAMILY, FC_STYLE, nullptr), FcObjectSetDestroy);
    std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> fonts(
        FcFontList(nullptr, pattern.get(), objects.get()), FcFontSetDestroy);
    if (fonts && fonts->nfont > 0) {
        FontFace face{patternString(fonts->fonts[0], FC_FAMILY),
                      patternString(fonts->fonts[0], FC_STYLE)};
        if (!face.family.isEmpty())
            return face;
    }
    return faceFromName(postScriptName);
}

QString lookUpPostScriptName(const QString &family, const QString &style)
{
    const QByteArray familyBytes = family.toUtf8();
    PatternPtr pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY,
                       reinterpret_cast<const FcChar8 *>(familyBytes.constData()));
    if (!style.isEmpty()) {
        const QByteArray styleBytes = style.toUtf8();
        FcPatternAddString(pattern.get(), FC_STYLE,
                           reinterpret_cast<const FcChar8 *>(styleBytes.constData()));
    }
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
    const QString name = match ? patternString(match.get(), FC_POSTSCRIPT_NAME) : QString();
    if (!name.isEmpty())
        return name;
    QString fallback = family;
    fallback.remove(u' ');
    return style.isEmpty() ? fallback : fallback + u'-' + QString(style).remove(u' ');
}

class FontCache
{
public:
    FontFace face(const QString &postScriptName)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_faces.constFind(postScriptName);
        if (found != m_faces.constEnd())
            return *found;
        return *m_faces.insert(postScriptName, lookUpFace(postScriptName));
    }

    QString postScriptName(const QString &family, const QString &style)
    {
        const QString key = family + u'\n' + style;
        const std::lock_guard lock(m_mutex);
        const auto found = m_names.constFind(key);
        if (found != m_names.constEnd())
            return *found;
        return *m_names.insert(key, lookUpPostScriptName(family, style));
    }

private:
    std::mutex m_mutex;
    QHash<QString, FontFace> m_faces;
    QHash<QString, QString> m_names;
};

FontCache &fontCache()
{
    static FontCache cache;
    return cache;
}

} // namespace

QFont displayFont(const TextFont &font)
{
    const FontFace face = fontCache().face(font.postScriptName);
    QFont qfont(face.family);
    if (!face.style.isEmpty())
        qfont.setStyleName(face.style);
    if (font.pointSize > 0.0)
        qfont.setPointSizeF(font.pointSize);
    return qfont;
}

TextFont textFontFromQFont(const QFont &font)
{
    QString style = font.styleName();
    if (style.isEmpty() && (font.bold() || font.italic()))
        style = QStringList{font.bold() ? QStringLiteral("Bold") : QString(),
                            font.italic() ? QStringLiteral("Italic") : QString()}
                    .join(u' ')
                    .trimmed();
    return {fontCache().postScriptName(font.family(), style), font.pointSizeF()};
}

} // namespace lq
