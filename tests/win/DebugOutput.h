#pragma once
// What the process writes with OutputDebugString, read the way a debug-output viewer reads it: the
// shared buffer "DBWIN_BUFFER" and its two events, which the system's OutputDebugString fills when
// no debugger is attached.
#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class DebugOutput {
public:
    DebugOutput() {
        bufferReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
        dataReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
        view_ = mapping_ ? static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 4096)) : nullptr;
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        received_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!bufferReady_ || !dataReady_ || !view_ || !stop_ || !received_) {
            ADD_FAILURE() << "cannot set up the debug-output buffer: " << GetLastError();
            return;
        }
        reader_ = std::thread([this] { read(); });
    }

    ~DebugOutput() {
        if (reader_.joinable()) {
            SetEvent(stop_);
            reader_.join();
        }
        if (view_) UnmapViewOfFile(view_);
        for (HANDLE h : {mapping_, bufferReady_, dataReady_, stop_, received_})
            if (h) CloseHandle(h);
    }

    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    /// Every message written so far, in order. Writes a marker of its own first and waits (with a
    /// deadline) until it arrives, so nothing written before the call is still on its way.
    std::vector<std::string> messages() {
        OutputDebugStringA(kMarker);
        const DWORD deadline = GetTickCount() + 10000;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                for (size_t i = 0; i < messages_.size(); ++i) {
                    if (messages_[i] == kMarker) {
                        std::vector<std::string> before(messages_.begin(), messages_.begin() + static_cast<long>(i));
                        messages_.erase(messages_.begin(), messages_.begin() + static_cast<long>(i) + 1);
                        return before;
                    }
                }
            }
            const DWORD now = GetTickCount();
            if (now >= deadline || WaitForSingleObject(received_, deadline - now) == WAIT_TIMEOUT) {
                ADD_FAILURE() << "the debug output did not arrive";
                return {};
            }
        }
    }

private:
    static constexpr const char* kMarker = "-- debug output marker --";

    void read() {
        SetEvent(bufferReady_);
        const HANDLE waits[] = {dataReady_, stop_};
        while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
            // The writer's process id, then its text.
            std::string text(view_ + sizeof(DWORD), strnlen(view_ + sizeof(DWORD), 4096 - sizeof(DWORD)));
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            {
                std::lock_guard lock(mutex_);
                messages_.push_back(std::move(text));
            }
            SetEvent(received_);
            SetEvent(bufferReady_);
        }
    }

    HANDLE bufferReady_ = nullptr;
    HANDLE dataReady_ = nullptr;
    HANDLE mapping_ = nullptr;
    const char* view_ = nullptr;
    HANDLE stop_ = nullptr;
    HANDLE received_ = nullptr;
    std::mutex mutex_;
    std::vector<std::string> messages_;
    std::thread reader_;
};

}  // namespace testing_support
