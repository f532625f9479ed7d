#pragma once

// Qt is not built with ThreadSanitizer, so the order that Qt's own locks and queues
// give (a thread pool handing a task to its thread, a pool waited for) is invisible
// to it. Where our code hands work from one thread to another through them, these
// two calls tell it: everything a thread did before handOver(what) comes before
// everything another thread does after takeOver(what). Without ThreadSanitizer they
// compile to nothing.
#if defined(__SANITIZE_THREAD__)
#define QUILLSET_TELLS_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILLSET_TELLS_TSAN 1
#endif
#endif

#ifdef QUILLSET_TELLS_TSAN
#include <sanitizer/tsan_interface.h>
inline void handOver(const void *what) { __tsan_release(const_cast<void *>(what)); }
inline void takeOver(const void *what) { __tsan_acquire(const_cast<void *>(what)); }
#else
inline void handOver(const void *) {}
inline void takeOver(const void *) {}
#endif
