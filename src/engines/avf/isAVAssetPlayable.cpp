#include "engines/avf/isAVAssetPlayable.h"

bool isAVAssetPlayable(const QString &path)
{
    return lq::MediaPlayability().isPlayable(path);
}

bool isAVAssetPlayable(const lq::MediaInfo &asset, lq::MediaPlayability::SelfReport selfReport)
{
    return lq::MediaPlayability(selfReport).isPlayable(asset);
}
