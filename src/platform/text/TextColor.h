#pragma once

#include <QColor>
#include <QList>

#include <optional>

namespace lq {

// A text colour that keeps its colour space and number of components, alpha last: grey
// (white, alpha), RGB (red, green, blue, alpha) or CMYK (cyan, magenta, yellow, black, alpha).
class TextColor
{
public:
    enum class Space { Grey, Rgb, Cmyk };

    static TextColor grey(double white, double alpha = 1.0);
    static TextColor rgb(double red, double green, double blue, double alpha = 1.0);
    static TextColor cmyk(double cyan, double magenta, double yellow, double black,
                          double alpha = 1.0);
    // The colour of a space with its components, alpha last; nullopt when the count does not
    // match the space or a component is not finite.
    static std::optional<TextColor> fromComponents(Space space, const QList<double> &components);

    Space space() const { return m_space; }
    const QList<double> &components() const { return m_components; }
    double alpha() const { return m_components.last(); }

    // The same colour in RGB (red, green, blue, alpha).
    TextColor toRgb() const;
    QColor toQColor() const;

    friend bool operator==(const TextColor &, const TextColor &) = default;

private:
    TextColor(Space space, QList<double> components)
        : m_space(space), m_components(std::move(components))
    {}

    Space m_space = Space::Rgb;
    QList<double> m_components;
};

} // namespace lq
