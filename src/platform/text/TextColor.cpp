#include "platform/text/TextColor.h"

#include <algorithm>
#include <cmath>

namespace lq {

namespace {

qsizetype componentCount(TextColor::Space space)
{
    switch (space) {
    case TextColor::Space::Grey:
        return 2;
    case TextColor::Space::Rgb:
        return 4;
    case TextColor::Space::Cmyk:
        return 5;
    }
    return 0;
}

float unit(double value)
{
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

} // namespace

TextColor TextColor::grey(double white, double alpha)
{
    return TextColor(Space::Grey, {white, alpha});
}

TextColor TextColor::rgb(double red, double green, double blue, double alpha)
{
    return TextColor(Space::Rgb, {red, green, blue, alpha});
}

TextColor TextColor::cmyk(double cyan, double magenta, double yellow, double black, double alpha)
{
    return TextColor(Space::Cmyk, {cyan, magenta, yellow, black, alpha});
}

std::optional<TextColor> TextColor::fromComponents(Space space, const QList<double> &components)
{
    if (components.size() != componentCount(space))
        return std::nullopt;
    if (!std::all_of(components.begin(), components.end(),
                     [](double value) { return std::isfinite(value); }))
        return std::nullopt;
    return TextColor(space, components);
}

TextColor TextColor::toRgb() const
{
    const QList<double> &c = m_components;
    switch (m_space) {
    case Space::Grey:
        return rgb(c[0], c[0], c[0], c[1]);
    case Space::Rgb:
        return *this;
    case Space::Cmyk:
        return rgb((1.0 - c[0]) * (1.0 - c[3]), (1.0 - c[1]) * (1.0 - c[3]),
                   (1.0 - c[2]) * (1.0 - c[3]), c[4]);
    }
    return *this;
}

QColor TextColor::toQColor() const
{
    const QList<double> &c = m_components;
    switch (m_space) {
    case Space::Grey:
        return QColor::fromRgbF(unit(c[0]), unit(c[0]), unit(c[0]), unit(c[1]));
    case Space::Rgb:
        return QColor::fromRgbF(unit(c[0]), unit(c[1]), unit(c[2]), unit(c[3]));
    case Space::Cmyk:
        return QColor::fromCmykF(unit(c[0]), unit(c[1]), unit(c[2]), unit(c[3]), unit(c[4]));
    }
    return {};
}

} // namespace lq
