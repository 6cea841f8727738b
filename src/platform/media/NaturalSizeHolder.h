#pragma once

#include <QSizeF>

#include <optional>

namespace lq {

// A view that shows video and knows the size of its picture; unknown when empty.
class NaturalSizeSource
{
public:
    virtual ~NaturalSizeSource() = default;
    virtual std::optional<QSizeF> naturalSize() const = 0;
};

// A video view that keeps its picture to the video's proportions. The playback and recording
// engines are handed such a view as a plain QWidget and, when it is one of these, tell it the
// size of the picture they put into it.
class NaturalSizeHolder : public NaturalSizeSource
{
public:
    // Takes effect at the view's next resize.
    virtual void setNaturalSize(std::optional<QSizeF> size) = 0;
};

} // namespace lq
