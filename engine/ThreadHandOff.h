#pragma once
// The GUI thread gives the scene to the render thread through the toolkit's own locks: the scene
// graph's synchronisation (the GUI thread waits while the viewport paints), the render job list
// and the event queues. ThreadSanitizer sees none of these locks when the toolkit itself is not
// built with it, and then reports every value the render thread reads as a race. handOff(key)
// marks the point where one thread gives what it wrote, takeOver(key) the point where the other
// receives it through such a lock; they state the order the lock gives and add none of their
// own. Without ThreadSanitizer both are empty.

#if defined(__SANITIZE_THREAD__)
#define ORB_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORB_THREAD_SANITIZER 1
#endif
#endif

#ifdef ORB_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace KestrelQt3DEngine {

inline void handOff(const void* key) {
#ifdef ORB_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(key));
#else
    (void)key;
#endif
}

inline void takeOver(const void* key) {
#ifdef ORB_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(key));
#else
    (void)key;
#endif
}

} // namespace KestrelQt3DEngine
