// "Save All Attachments" of one message with n attachments of 1 KB into an empty folder, the
// in-memory host writing the files and the add-in's core on the real Windows platform: the run's
// total time, the time the host spent in its SaveAsFile calls (timed around each one), and the
// directory queries the run made. The 1,000 attachments are then saved again beside the first
// run's files, each found there and none written twice.
//   SaveAllBench <work folder> <runs>
// Prints one line per size, tab-separated:
//   saveall <attachments> <directory queries per run> <total ms> <host SaveAsFile ms>
//           <the add-in's own ms per attachment: median> <min> <max>
// and one for the run again:
//   saveall-again <attachments> <found already there> <directory queries per run> <files digested per run>
//                 <byte comparisons per run> <total ms> <host SaveAsFile ms>
//                 <the add-in's own ms per attachment: median> <min> <max>
// The run again fails unless it finds every file the first run wrote, and writes none.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/core/ActionManager.h"
#include "addin/core/Preferences.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Item.h"
#include "addin/win/WinPlatform.h"
#include "bench/ForwardingPlatform.h"
#include "standin/model/Host.h"

using namespace addin;

namespace {

double Now() {
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The time the host spends writing, summed over every SaveAsFile of the run.
double hostMs = 0;

class TimedAttachment final : public host::Attachment {
public:
    explicit TimedAttachment(std::shared_ptr<host::Attachment> inner) : inner_(std::move(inner)) {}
    int32_t Type() override { return inner_->Type(); }
    std::u16string FileName() override { return inner_->FileName(); }
    std::u16string DisplayName() override { return inner_->DisplayName(); }
    void SetDisplayName(const std::u16string& value) override { inner_->SetDisplayName(value); }
    void SaveAsFile(const std::u16string& path) override {
        const double start = Now();
        inner_->SaveAsFile(path);
        hostMs += Now() - start;
    }
    void Delete() override { inner_->Delete(); }
    std::u16string PathName() override { return inner_->PathName(); }
    std::shared_ptr<host::Item> Parent() override { return inner_->Parent(); }
    int32_t Index() override { return inner_->Index(); }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override { return inner_->PropertyAccessor(); }
    bool SameObject(const host::Object& other) const override { return inner_->SameObject(other); }

private:
    std::shared_ptr<host::Attachment> inner_;
};

class TimedAttachments final : public host::Attachments {
public:
    explicit TimedAttachments(std::shared_ptr<host::Attachments> inner) : inner_(std::move(inner)) {}
    int32_t Count() override { return inner_->Count(); }
    std::shared_ptr<host::Attachment> Item(int32_t index) override {
        return std::make_shared<TimedAttachment>(inner_->Item(index));
    }
    std::shared_ptr<host::Attachment> Add(const std::u16string& source, std::optional<int32_t> type,
                                          std::optional<int32_t> position,
                                          std::optional<std::u16string> displayName) override {
        return inner_->Add(source, type, position, displayName);
    }
    bool SameObject(const host::Object& other) const override { return inner_->SameObject(other); }

private:
    std::shared_ptr<host::Attachments> inner_;
};

class TimedItem final : public host::Item {
public:
    explicit TimedItem(std::shared_ptr<host::Item> inner) : inner_(std::move(inner)) {}
    std::u16string TypeName() override { return inner_->TypeName(); }
    std::shared_ptr<host::Attachments> Attachments() override {
        return std::make_shared<TimedAttachments>(inner_->Attachments());
    }
    bool Saved() override { return inner_->Saved(); }
    void Save() override { inner_->Save(); }
    bool Sent() override { return inner_->Sent(); }
    std::u16string SenderName() override { return inner_->SenderName(); }
    host::DateTime SentOn() override { return inner_->SentOn(); }
    std::u16string HTMLBody() override { return inner_->HTMLBody(); }
    void SetHTMLBody(const std::u16string& html) override { inner_->SetHTMLBody(html); }
    int32_t BodyFormat() override { return inner_->BodyFormat(); }
    std::u16string Body() override { return inner_->Body(); }
    void SetBody(const std::u16string& text) override { inner_->SetBody(text); }
    std::string RTFBody() override { return inner_->RTFBody(); }
    void SetRTFBody(const std::string& bytes) override { inner_->SetRTFBody(bytes); }
    std::u16string MessageClass() override { return inner_->MessageClass(); }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override { return inner_->PropertyAccessor(); }
    std::u16string Subject() override { return inner_->Subject(); }
    bool SameObject(const host::Object& other) const override { return inner_->SameObject(other); }

private:
    std::shared_ptr<host::Item> inner_;
};

class TimedInspector final : public host::Inspector {
public:
    explicit TimedInspector(std::shared_ptr<host::Inspector> inner) : inner_(std::move(inner)) {}
    std::shared_ptr<host::Item> CurrentItem() override { return std::make_shared<TimedItem>(inner_->CurrentItem()); }
    std::shared_ptr<host::CommandBars> CommandBars() override { return inner_->CommandBars(); }
    bool IsWordMail() override { return inner_->IsWordMail(); }
    bool SameObject(const host::Object& other) const override { return inner_->SameObject(other); }

private:
    std::shared_ptr<host::Inspector> inner_;
};

class FixedFolder final : public FolderPrompt {
public:
    explicit FixedFolder(std::u16string folder) : folder_(std::move(folder)) {}
    std::optional<FolderChoice> PickFolder(const std::u16string&, const std::u16string&, bool, bool) override {
        return FolderChoice{folder_, false, false};
    }

private:
    std::u16string folder_;
};

class NoProgress final : public ProgressWindow {
public:
    void Update(uint32_t, uint32_t, const std::u16string&) override {}
    bool Cancelled() override { return false; }
};

// The real platform, but for its windows: the folder is given, the summary and the progress are
// not shown, and the directory queries are counted.
class BenchPlatform final : public ForwardingPlatform {
public:
    BenchPlatform(Platform& real, std::u16string folder) : ForwardingPlatform(real), folder_(std::move(folder)) {}
    int queries = 0;
    int summaries = 0;
    int comparisons = 0;
    int digests = 0;
    int placed = 0;
    std::u16string summary;

    int32_t ShowMessageBox(const std::u16string& text, const std::u16string&, int32_t) override {
        ++summaries;
        summary = text;
        return MessageBoxResult::Ok;
    }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        ++queries;
        return real_.ListFolder(folder, prefix, withAliases);
    }
    std::optional<std::vector<FolderEntry>> ListFolderEntries(const std::u16string& folder) override {
        ++queries;
        return real_.ListFolderEntries(folder);
    }
    bool FilesEqual(const std::u16string& a, const std::u16string& b) override {
        ++comparisons;
        return real_.FilesEqual(a, b);
    }
    base::Sha256Digest FileSha256(const std::u16string& path) override {
        ++digests;
        return real_.FileSha256(path);
    }
    bool PlaceAsNewFile(const std::u16string& file, const std::u16string& target) override {
        ++placed;
        return real_.PlaceAsNewFile(file, target);
    }
    std::shared_ptr<FolderPrompt> CreateFolderPrompt() override { return std::make_shared<FixedFolder>(folder_); }
    std::shared_ptr<ProgressWindow> ShowProgress(const std::u16string&) override {
        return std::make_shared<NoProgress>();
    }

private:
    std::u16string folder_;
};

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

int Files(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int files = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return files;
}

void Empty(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: SaveAllBench <work folder> <runs>\n");
        return 2;
    }
    const std::wstring folder = std::wstring(argv[1]) + L"\\save-all";
    const int runs = std::max(1, _wtoi(argv[2]));
    CreateDirectoryW(folder.c_str(), nullptr);
    Preferences::SetReplaceWithLinks(false);
    addin::win::WinPlatform real(nullptr);
    const auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    for (const int n : {10, 100, 1000}) {
        std::vector<double> own, ownAgain;
        double total = 0, host = 0, totalAgain = 0, hostAgain = 0;
        int queries = 0, queriesAgain = 0, comparisons = 0, digests = 0, found = 0;
        // One run over the folder as it is: its total and the host's share of it; false when the
        // run ended without its summary, or wrote when `again` says nothing is to be written.
        const auto save = [&](bool again, double& elapsed, double& hostShare, int& runQueries, int& runComparisons,
                              int& runDigests, int& runFound) {
            standin::Host model;
            auto item = std::make_shared<standin::ItemNode>(standin::ItemKind::Mail);
            item->sent = true;
            // Every attachment of one name: each after the first takes the next number.
            for (int i = 0; i < n; ++i) item->Attach(1, u"report.doc", std::string(1024, static_cast<char>('a' + i % 26)));
            BenchPlatform platform(real, U16(folder));
            ActionManager actions(platform);
            actions.SetHostMajorVersion(11);
            const auto ins = std::make_shared<TimedInspector>(model.InspectorObject(model.OpenInspector(item)));
            hostMs = 0;
            const double start = Now();
            actions.SaveAll(ins);
            elapsed = Now() - start;
            hostShare = hostMs;
            runQueries = platform.queries;
            runComparisons = platform.comparisons;
            runDigests = platform.digests;
            runFound = 0;
            for (size_t at = platform.summary.find(u": already in the folder as "); at != std::u16string::npos;
                 at = platform.summary.find(u": already in the folder as ", at + 1))
                ++runFound;
            return platform.summaries == 1 && (!again || platform.placed == 0);
        };
        for (int run = 0; run < runs; ++run) {
            Empty(folder);
            int unused = 0, foundFirst = 0;
            if (!save(false, total, host, queries, unused, unused, foundFirst)) return 1;
            own.push_back((total - host) / n);
            if (n != 1000) continue;
            const int written = Files(folder);
            if (!save(true, totalAgain, hostAgain, queriesAgain, comparisons, digests, found)) return 1;
            if (found != written || Files(folder) != written) {
                std::fprintf(stderr, "the run again found %d of the %d files written\n", found, written);
                return 1;
            }
            ownAgain.push_back((totalAgain - hostAgain) / n);
        }
        std::printf("saveall\t%d\t%d\t%.1f\t%.1f\t%.3f\t%.3f\t%.3f\n", n, queries, total, host, median(own),
                    own.front(), own.back());
        if (!ownAgain.empty())
            std::printf("saveall-again\t%d\t%d\t%d\t%d\t%d\t%.1f\t%.1f\t%.3f\t%.3f\t%.3f\n", n, found, queriesAgain,
                        digests, comparisons, totalAgain, hostAgain, median(ownAgain), ownAgain.front(),
                        ownAgain.back());
        std::fflush(stdout);
    }
    Empty(folder);
    RemoveDirectoryW(folder.c_str());
    return 0;
}
