#pragma once

// Hand-offs between threads that ThreadSanitizer cannot see. Qt's and SDL's own locks and wait
// conditions live in libraries built without it (Qt 6 locks with futexes), so the order they
// guarantee is invisible: a release on the handing side and an acquire on the receiving side, on the
// same address, tell ThreadSanitizer what the library already guarantees. Without ThreadSanitizer
// both are nothing.

#if defined(__SANITIZE_THREAD__)
#define KELVORA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KELVORA_TSAN 1
#endif
#endif

#if defined(KELVORA_TSAN)
#include <sanitizer/tsan_interface.h>
#define KELVORA_TSAN_RELEASE(address) __tsan_release(const_cast<void*>(static_cast<const void*>(address)))
#define KELVORA_TSAN_ACQUIRE(address) __tsan_acquire(const_cast<void*>(static_cast<const void*>(address)))
#else
#define KELVORA_TSAN_RELEASE(address) static_cast<void>(address)
#define KELVORA_TSAN_ACQUIRE(address) static_cast<void>(address)
#endif

#include <chrono>

// std::timed_mutex::try_lock_for waits in pthread_mutex_clocklock, which GCC 12's ThreadSanitizer
// does not intercept: it would not know the mutex is held, and call its unlock an error. The lock
// is announced to it around the wait.
template <typename Lock, typename Rep, typename Period>
bool tryLockFor(Lock& lock, const std::chrono::duration<Rep, Period>& timeout)
{
#if defined(KELVORA_TSAN)
    void* mutex = lock.mutex()->native_handle();
    __tsan_mutex_pre_lock(mutex, __tsan_mutex_try_lock);
    const bool locked = lock.try_lock_for(timeout);
    __tsan_mutex_post_lock(mutex, __tsan_mutex_try_lock | (locked ? 0 : __tsan_mutex_try_lock_failed), 0);
    return locked;
#else
    return lock.try_lock_for(timeout);
#endif
}
