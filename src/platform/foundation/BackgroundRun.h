#pragma once

#include <functional>

namespace lq {

// Runs long work (a media pipeline writing a file, say) on a thread of its own and answers its
// result. Called on the main thread, that thread goes on handling events meanwhile, so that
// windows keep drawing; elsewhere the work runs on the calling thread.
bool runInBackground(const std::function<bool()> &work);

} // namespace lq
