// A small mutual-exclusion lock for the runtime's own tables. On Windows it is a critical
// section, because the 32-bit program is built with the win32 thread model, which has no
// std::mutex; natively (unit tests) it is a std::mutex.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#endif

namespace lurvik {

class Lock {
 public:
#ifdef _WIN32
  Lock() { InitializeCriticalSection(&section_); }
  ~Lock() { DeleteCriticalSection(&section_); }
  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }
#else
  Lock() = default;
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
#endif
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
#ifdef _WIN32
  CRITICAL_SECTION section_;
#else
  std::mutex mutex_;
#endif
};

// Holds a lock for the lifetime of a scope.
class LockHolder {
 public:
  explicit LockHolder(Lock& lock) : lock_(lock) { lock_.Enter(); }
  ~LockHolder() { lock_.Leave(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

 private:
  Lock& lock_;
};

}  // namespace lurvik
