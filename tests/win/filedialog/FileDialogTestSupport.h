#pragma once
// Shared by the Save As dialog tests: a temporary folder with files, and the platform the name
// mangler sees (the real existence test and dates, a switch to make the existence test fail).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "addin/core/Platform.h"
#include "addin/win/WinServices.h"
#include "base/HostError.h"
#include "tests/support/StrictPlatform.h"
#include "tests/win/TestSupport.h"

namespace filedialog_tests {

inline std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

using testing_support::TempFolder;

/// The services the name mangler uses, real; `failing` makes the folder's calls throw. Any other
/// service is counted in `unexpectedCalls` (the mangler runs on the dialog's thread, where a test
/// assertion is not safe), for the test to check on its own thread.
class FilePlatform : public addin::StrictPlatform {
public:
    std::atomic<bool> failing{false};
    std::atomic<int> unexpectedCalls{0};

    int32_t FileExists(const std::u16string& path) override {
        if (failing) throw HostError(HostStatus::Fail, u"injected failure of the existence test");
        return addin::win::FileExists(path);
    }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        if (failing) throw HostError(HostStatus::Fail, u"injected failure of the folder's listing");
        return addin::win::ListFolder(folder, prefix, withAliases, addin::win::RunningFindOptions());
    }
    bool IsOnNetwork(const std::u16string& folder) override { return addin::win::IsOnNetwork(folder); }
    std::u16string FileSystemUpperCase(const std::u16string& name) override { return addin::win::FileSystemUpperCase(name); }
    std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) override {
        return addin::win::FormatDate(value, pattern);
    }

protected:
    void Unexpected(const char*) noexcept override { ++unexpectedCalls; }
};

}  // namespace filedialog_tests
