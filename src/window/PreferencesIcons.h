#pragma once

#include <QIcon>
#include <QString>

// The toolbar icons of the preferences window: the desktop's icon theme first, else a drawing
// of our own in the palette's text colour. GUI thread only.
namespace preferences_icons {

QIcon general();
QIcon recording();
QIcon playback();
QIcon saving();
QIcon sharing();

} // namespace preferences_icons
