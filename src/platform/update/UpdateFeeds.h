#pragma once

#include <QUrl>

namespace lq::UpdateFeeds {

// The two update feeds on the program's update server.
QUrl release();
QUrl beta();

} // namespace lq::UpdateFeeds
