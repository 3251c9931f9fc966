// Refreshes of the file-name suggestions against real folders, by listing and by probing: the
// file-system calls each makes and how long each takes, on the local disk and behind a platform
// that waits a fixed time in every file-system call, as a folder on a distant share would.
//   SuggestionBench <work folder> <runs> <slow runs> <delay in ms>
// Prints one line per case and lookup, tab-separated:
//   refresh <case> <lookup> <calls on a share> <calls on a local disk> <local median> <min> <max>
//           <slow median> <min> <max>
// (times in milliseconds).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "addin/core/FileNameMangler.h"
#include "addin/core/host/Item.h"
#include "addin/win/WinPlatform.h"
#include "base/HostError.h"
#include "bench/ForwardingPlatform.h"

using namespace addin;

namespace {

// The platform as the add-in has it, counting the folder's calls; with `share` the folder is on a
// share, each call waiting `delayMs`.
class FolderCallPlatform final : public ForwardingPlatform {
public:
    explicit FolderCallPlatform(Platform& real) : ForwardingPlatform(real) {}
    int calls = 0;
    bool share = false;
    DWORD delayMs = 0;

    int32_t FileExists(const std::u16string& path) override {
        Call();
        return real_.FileExists(path);
    }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        Call();
        return real_.ListFolder(folder, prefix, withAliases);
    }
    bool IsOnNetwork(const std::u16string& folder) override { return share || real_.IsOnNetwork(folder); }

private:
    void Call() {
        ++calls;
        if (share && delayMs) Sleep(delayMs);
    }
};

// A received mail message, or another kind of item, as the suggestions read it.
class Message final : public host::Item {
public:
    explicit Message(bool mail) : mail_(mail) {}
    std::u16string TypeName() override { return mail_ ? u"MailItem" : u"PostItem"; }
    std::u16string SenderName() override { return u"Jane Roe"; }
    host::DateTime SentOn() override { return {2004, 3, 5, 14, 30, 0}; }
    std::u16string HTMLBody() override { return {}; }
    std::u16string Subject() override { return {}; }
    std::shared_ptr<host::Attachments> Attachments() override { return nullptr; }
    // The suggestions read no body: a plain message's answers, and no change.
    void SetHTMLBody(const std::u16string&) override { throw HostError(HostStatus::NotImplemented); }
    int32_t BodyFormat() override { return host::BodyFormat::Plain; }
    std::u16string Body() override { return {}; }
    void SetBody(const std::u16string&) override { throw HostError(HostStatus::NotImplemented); }
    std::string RTFBody() override { return {}; }
    void SetRTFBody(const std::string&) override { throw HostError(HostStatus::NotImplemented); }
    std::u16string MessageClass() override { return u"IPM.Note"; }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override { return nullptr; }
    bool Saved() override { return true; }
    void Save() override {}
    bool Sent() override { return true; }
    bool SameObject(const Object& other) const override { return this == &other; }

private:
    bool mail_;
};

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

void CreateEmptyFile(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot create %ls (error %lu)\n", path.c_str(), GetLastError());
        std::exit(1);
    }
    CloseHandle(file);
}

double Now() {
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Spread {
    double median, least, most;
};

Spread Of(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    return {median, times.front(), times.back()};
}

struct Case {
    const char* id;
    bool mail;
    std::vector<std::wstring> files;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: SuggestionBench <work folder> <runs> <slow runs> <delay in ms>\n");
        return 2;
    }
    const std::wstring work = argv[1];
    const int runs = _wtoi(argv[2]), slowRuns = _wtoi(argv[3]);
    const DWORD delay = static_cast<DWORD>(_wtoi(argv[4]));

    std::vector<Case> cases = {{"empty", false, {}}, {"collisions100", false, {}}, {"worst", true, {}},
                               {"unrelated10000", false, {}}};
    for (int n = 1; n <= 100; ++n) cases[1].files.push_back(L"report -- " + std::to_wstring(n) + L".doc");
    for (const std::wstring stem : {L"report", L"report -- Jane Roe", L"report -- Jane Roe -- 5-Mar-2004",
                                    L"report -- 5-Mar-2004"}) {
        cases[2].files.push_back(stem + L".doc");
        for (int n = 1; n <= 100; ++n) cases[2].files.push_back(stem + L" -- " + std::to_wstring(n) + L".doc");
    }
    for (int n = 0; n < 10000; ++n) cases[3].files.push_back(L"photo " + std::to_wstring(n) + L".jpg");

    addin::win::WinPlatform real(nullptr);
    FolderCallPlatform platform(real);
    for (Case& c : cases) {
        const std::wstring folder = work + L"\\" + std::wstring(c.id, c.id + std::strlen(c.id));
        CreateDirectoryW(folder.c_str(), nullptr);
        for (const std::wstring& name : c.files) CreateEmptyFile(folder + L"\\" + name);
        // One mangler per placement of the folder: a mangler remembers whether its last folder is on a
        // share, as the folder cannot move between two refreshes of one dialog.
        FileNameMangler localMangler(platform, 11), shareMangler(platform, 11);
        localMangler.mItem(std::make_shared<Message>(c.mail));
        shareMangler.mItem(std::make_shared<Message>(c.mail));
        for (const FolderLookup lookup : {FolderLookup::Probing, FolderLookup::Listing}) {
            FileNameMangler* mangler = &localMangler;
            const auto refresh = [&] { return mangler->GetFileNameMangling(u"report.doc", U16(folder), lookup); };
            platform.delayMs = delay;
            platform.share = false;
            platform.calls = 0;
            const std::vector<std::u16string> names = refresh();  // also warms the system's caches
            const int localCalls = platform.calls;
            std::vector<double> local, slow;
            for (int i = 0; i < runs; ++i) {
                const double start = Now();
                if (refresh() != names) return 1;
                local.push_back(Now() - start);
            }
            platform.share = true;
            platform.calls = 0;
            mangler = &shareMangler;
            for (int i = 0; i < slowRuns; ++i) {
                const double start = Now();
                if (refresh() != names) return 1;
                slow.push_back(Now() - start);
            }
            const int shareCalls = platform.calls / slowRuns;
            const Spread l = Of(local), s = Of(slow);
            std::printf("refresh\t%s\t%s\t%d\t%d\t%.3f\t%.3f\t%.3f\t%.1f\t%.1f\t%.1f\n", c.id,
                        lookup == FolderLookup::Probing ? "probing" : "listing", shareCalls, localCalls, l.median,
                        l.least, l.most, s.median, s.least, s.most);
            std::fflush(stdout);
        }
        for (const std::wstring& name : c.files) DeleteFileW((folder + L"\\" + name).c_str());
        RemoveDirectoryW(folder.c_str());
    }
    return 0;
}
