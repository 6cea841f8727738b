#pragma once

// Work handed to another thread through Qt's event queues or thread pool. Qt is not built with
// ThreadSanitizer, which therefore cannot see the locks that order such a hand-over: the sender
// passes the work on inside handOver(token, post), and the work calls takeOver(token) first.
// token is any fixed address (a static of the call site), since reading the work's own captures
// would come before the takeOver; the copies of the work that post makes are not checked. Nothing
// in other builds.

#if defined(__SANITIZE_THREAD__)
#define LQ_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LQ_THREAD_SANITIZER 1
#endif
#endif

#ifdef LQ_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
extern "C" void AnnotateIgnoreWritesBegin(const char *file, int line);
extern "C" void AnnotateIgnoreWritesEnd(const char *file, int line);
#endif

namespace lq {

template <class Post>
void handOver([[maybe_unused]] const void *token, Post &&post)
{
#ifdef LQ_THREAD_SANITIZER
    __tsan_release(const_cast<void *>(token));
    AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
#endif
    post();
#ifdef LQ_THREAD_SANITIZER
    AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
#endif
}

// The hand-over alone, for work the other thread finds by itself (a shared buffer, a state).
inline void handOver(const void *token)
{
    handOver(token, [] {});
}

inline void takeOver([[maybe_unused]] const void *token)
{
#ifdef LQ_THREAD_SANITIZER
    __tsan_acquire(const_cast<void *>(token));
#endif
}

} // namespace lq
