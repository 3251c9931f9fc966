#pragma once
// A lock on the system's critical section, for the DLLs' shared caches (with std::lock_guard).
// std::mutex would do the same, but its failure path throws std::system_error, which brings that
// class and the runtime's whole narrow string into each DLL (some 30 KB); entering a critical section
// does not fail.
#include <windows.h>

namespace com {

class Lock {
public:
    Lock() noexcept { InitializeCriticalSection(&section_); }
    ~Lock() { DeleteCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void lock() noexcept { EnterCriticalSection(&section_); }
    void unlock() noexcept { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

}  // namespace com
