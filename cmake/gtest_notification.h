// GoogleTest's Notification on a Win32 event, force-included wherever its
// headers are (tests/CMakeLists.txt): the standard library of the win32
// thread-model compilers has no std::mutex or std::condition_variable.
#pragma once
#include <windows.h>
#define GTEST_HAS_NOTIFICATION_ 1
namespace testing {
namespace internal {
class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};
} // namespace internal
} // namespace testing
