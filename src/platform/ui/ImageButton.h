#pragma once

#include <QAbstractButton>
#include <QString>

namespace lq {

// A button that is only its image (a named image, NamedImages), drawn as it is whether the
// button is enabled or not: a disabled state has an image of its own. While held down it shows
// its alternate image, or, without one, its image on a shade. Reached by Tab; a click does not take
// the focus from where the user types.
class ImageButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ImageButton(QWidget *parent = nullptr);

    // The image, and the one shown while the button is held (none when empty).
    void setImages(const QString &image, const QString &alternateImage = QString());
    QString imageName() const { return m_image; }
    QString alternateImageName() const { return m_alternateImage; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_image;
    QString m_alternateImage;
};

} // namespace lq
