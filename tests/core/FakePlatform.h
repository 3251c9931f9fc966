#pragma once
// A strict fake of the platform for the native tests: settings in memory, message boxes answered
// from a queue, pictures counted, the shell answered from a queue, file existence from the real
// file system, a scripted Save As dialog. Any call a test did not prepare for fails the test.
// Runs whose dialogs are not known in advance (the sweeps) answer by rule instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "addin/core/FileNameMangler.h"
#include "addin/core/Platform.h"
#include "base/Ascii.h"
#include "base/HostError.h"

namespace addin {

struct FakePicture : host::Picture {
    explicit FakePicture(int16_t id) : resourceId(id) {}
    int16_t resourceId;
};

struct ShownMessage {
    std::u16string text;
    std::u16string title;
    int32_t flags;
};

/// One Save As dialog as the scripted prompt was asked for it.
struct PromptCall {
    std::u16string fileName;
    int16_t ordinal;
    int16_t saveableCount;
    bool replaceIn;
    bool openIn;
    /// Whether "Replace with shortcut" was offered (SaveAsPrompt::SetReplaceOffered).
    bool replaceOffered;
    /// The mangler's mItem while the dialog was open.
    std::shared_ptr<host::Item> manglerItem;
};

/// What the user does in one dialog: the path confirmed (empty: cancel) and the options left.
struct PromptAnswer {
    std::u16string path;
    /// Unset: "Replace with shortcut" is left as the dialog started.
    std::optional<bool> replace;
    bool open = false;
};

/// The Save As dialog, answered from `script` (or by `answerFor`); a dialog nobody scripted fails
/// the test.
class ScriptedSaveAsPrompt : public SaveAsPrompt {
public:
    std::deque<PromptAnswer> script;
    std::function<PromptAnswer(const PromptCall&)> answerFor;
    /// Called while the dialog is up, before it is answered (the host's events may come then).
    std::function<void(const PromptCall&)> whileUp;
    std::vector<PromptCall> calls;
    int failAt = 0;  // the n-th dialog fails (0: none)

    std::u16string GetSaveAsPath(const std::u16string& fileName, FileNameMangler& mangler, int16_t ordinal,
                                 int16_t saveableCount, bool& replaceWithLink, bool& openAfterSaving) override {
        calls.push_back(
            {fileName, ordinal, saveableCount, replaceWithLink, openAfterSaving, replaceOffered, mangler.mItem()});
        const PromptCall call = calls.back();
        if (static_cast<int>(calls.size()) == failAt) throw HostError(HostStatus::Fail, u"the dialog failed");
        if (whileUp) whileUp(call);
        if (answerFor) {
            const PromptAnswer answer = answerFor(call);
            replaceWithLink = answer.replace.value_or(replaceWithLink);
            openAfterSaving = answer.open;
            return answer.path;
        }
        if (script.empty()) {
            ADD_FAILURE() << "unexpected Save As dialog";
            return {};
        }
        const PromptAnswer answer = script.front();
        script.pop_front();
        replaceWithLink = answer.replace.value_or(replaceWithLink);
        openAfterSaving = answer.open;
        return answer.path;
    }
    void SetReplaceOffered(bool offered) override { replaceOffered = offered; }
    bool replaceOffered = true;
    std::u16string LastFolder() const override { return lastFolder; }
    void RememberFolder(const std::u16string& folder) override { lastFolder = folder; }
    std::u16string lastFolder;
};

/// The Save As dialog as the add-in owns it: a new object for each CreateSaveAsPrompt, as the real
/// one is, answering from the test's script. One destroyed while its dialog is up is counted.
class OwnedPrompt final : public SaveAsPrompt {
public:
    OwnedPrompt(std::shared_ptr<ScriptedSaveAsPrompt> script, std::shared_ptr<int> destroyedWhileUp)
        : script_(std::move(script)), destroyedWhileUp_(std::move(destroyedWhileUp)) {}
    ~OwnedPrompt() override {
        if (up_) ++*destroyedWhileUp_;
    }
    std::u16string GetSaveAsPath(const std::u16string& fileName, FileNameMangler& mangler, int16_t ordinal,
                                 int16_t saveableCount, bool& replaceWithLink, bool& openAfterSaving) override {
        up_ = true;
        struct Down {
            bool& up;
            ~Down() { up = false; }
        } down{up_};
        return script_->GetSaveAsPath(fileName, mangler, ordinal, saveableCount, replaceWithLink, openAfterSaving);
    }
    void SetReplaceOffered(bool offered) override { script_->SetReplaceOffered(offered); }
    std::u16string LastFolder() const override { return script_->LastFolder(); }
    void RememberFolder(const std::u16string& folder) override { script_->RememberFolder(folder); }

private:
    std::shared_ptr<ScriptedSaveAsPrompt> script_;
    std::shared_ptr<int> destroyedWhileUp_;
    bool up_ = false;
};

/// One folder dialog as the scripted prompt was asked for it.
struct FolderCall {
    std::u16string title;
    std::u16string startFolder;
    bool replaceIn;
    bool replaceOffered;
};

/// The folder dialog, answered from `script` (nothing: Cancel); a dialog nobody scripted fails the
/// test. `whileUp` runs while it is up, before it is answered.
class ScriptedFolderPrompt final : public FolderPrompt {
public:
    std::deque<std::optional<FolderChoice>> script;
    std::function<void(const FolderCall&)> whileUp;
    std::vector<FolderCall> calls;
    bool fail = false;

    std::optional<FolderChoice> PickFolder(const std::u16string& title, const std::u16string& startFolder,
                                           bool replaceWithLinks, bool replaceOffered) override {
        calls.push_back({title, startFolder, replaceWithLinks, replaceOffered});
        const FolderCall call = calls.back();
        if (fail) throw HostError(HostStatus::Fail, u"the folder dialog failed");
        if (whileUp) whileUp(call);
        if (script.empty()) {
            ADD_FAILURE() << "unexpected folder dialog";
            return std::nullopt;
        }
        auto answer = script.front();
        script.pop_front();
        return answer;
    }
};

/// The progress window as the core drives it: every update recorded, Cancel pressed at the
/// `cancelAt`-th question (0: never). `whileUp` runs at each update.
struct ProgressLog {
    std::vector<std::u16string> titles;
    std::vector<std::tuple<uint32_t, uint32_t, std::u16string>> updates;
    int questions = 0;
    int cancelAt = 0;
    int open = 0;  // windows up now
    std::function<void()> whileUp;
};

class FakeProgress final : public ProgressWindow {
public:
    explicit FakeProgress(std::shared_ptr<ProgressLog> log) : log_(std::move(log)) { ++log_->open; }
    ~FakeProgress() override { --log_->open; }
    void Update(uint32_t done, uint32_t total, const std::u16string& line) override {
        log_->updates.emplace_back(done, total, line);
        if (log_->whileUp) log_->whileUp();
    }
    bool Cancelled() override { return ++log_->questions == log_->cancelAt; }

private:
    std::shared_ptr<ProgressLog> log_;
};

class FakePlatform : public Platform {
public:
    using SettingKey = std::tuple<std::u16string, std::u16string, std::u16string>;

    // Settings store.
    std::map<SettingKey, std::u16string> settings;
    std::vector<std::u16string> saved;  // each value written, in order
    int reads = 0;
    bool failSave = false;
    // Policy values by hive and name (the key is the add-in's); each read recorded as key\\name.
    std::map<std::pair<PolicyHive, std::u16string>, PolicyValue> policies;
    std::vector<std::pair<PolicyHive, std::u16string>> policyReads;
    bool failPolicyRead = false;

    // Message boxes: answered from the queue, or by `answerFor`. `whileUp` is called while one is up,
    // before it is answered (the host's events may come then).
    std::deque<int32_t> answers;
    std::function<int32_t(const ShownMessage&)> answerFor;
    std::function<void(const ShownMessage&)> whileUp;
    bool failMessageBox = false;
    std::vector<ShownMessage> shown;

    // Files and the shell.
    bool filesOnDisk = false;  // FileExists answers from the real file system
    // ListFolder lists the real folder (letter case compared as the file system on Windows does,
    // for ASCII letters); with `unlistable` the folder cannot be listed. Each listing recorded.
    bool listFolders = false;
    bool unlistable = false;
    std::vector<std::u16string> listings;
    std::vector<std::u16string> existenceTests;
    // Content comparisons (FilesEqual), each pair in order; sizes read (FileSize).
    std::vector<std::pair<std::u16string, std::u16string>> compared;
    std::vector<std::u16string> sizesRead;
    std::vector<std::u16string> digested;  // files digested (FileSha256), in order
    std::vector<std::u16string> marked;  // files marked as come from another computer, in order
    // Writing beside, then in place (on the real file system, as FileExists): the temporary paths
    // handed out, the files put in place and the files removed, in order. A folder in
    // `refusingNewFiles` takes no new file; one in `dropBoxes` takes new files but lets none be
    // renamed or removed, so a free target is made there, empty, for the host to write (nothing
    // given) and a taken one is refused; the `failPutInPlaceAt`-th move is refused; a target that
    // is a folder is refused as the system refuses it.
    std::vector<std::u16string> temporaryPaths;
    std::vector<std::pair<std::u16string, std::u16string>> putInPlace;
    std::vector<std::u16string> removed;
    std::vector<std::u16string> refusingNewFiles;
    std::vector<std::u16string> dropBoxes;
    int failPutInPlaceAt = 0;
    // Placing as a new file (its targets in order, also those refused because a file had the name);
    // `appearing` runs just before, as another program creating the target would.
    std::vector<std::u16string> placedAsNew;
    std::function<void(const std::u16string& target)> appearing;
    std::deque<int32_t> shellAnswers;
    bool failShell = false;
    bool processesAllowed = false;
    bool failStartProcess = false;
    std::vector<std::u16string> openedWithShell;
    std::vector<std::u16string> startedProcesses;

    // The Save As dialog: each CreateSaveAsPrompt, once a test sets it, hands out a new dialog
    // object that answers from it.
    std::shared_ptr<ScriptedSaveAsPrompt> prompt;
    int promptsCreated = 0;
    std::shared_ptr<int> promptsDestroyedWhileUp = std::make_shared<int>(0);

    // The folder dialog (one object for every CreateFolderPrompt, once a test sets it), the
    // progress window, and the clock: `now`, advanced by `tick` at every reading.
    std::shared_ptr<ScriptedFolderPrompt> folderPrompt;
    std::shared_ptr<ProgressLog> progress = std::make_shared<ProgressLog>();
    int64_t now = 0;
    int64_t tick = 0;

    // Pictures.
    bool failLoadPicture = false;
    std::vector<int16_t> loaded;
    std::vector<std::weak_ptr<host::Picture>> pictures;

    void Store(const std::u16string& value) {
        settings[{u"Quenmark Save Attachments", u"Preferences", u"ReplaceWithLinks"}] = value;
    }
    int LivePictures() const {
        int n = 0;
        for (const auto& p : pictures) n += p.expired() ? 0 : 1;
        return n;
    }

    int32_t ShowMessageBox(const std::u16string& text, const std::u16string& title, int32_t flags) override {
        shown.push_back({text, title, flags});
        const ShownMessage box = shown.back();
        if (failMessageBox) throw HostError(HostStatus::Fail, u"no message box");
        if (whileUp) whileUp(box);
        if (answerFor) return answerFor(box);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected message box";
            return MessageBoxResult::Cancel;
        }
        const int32_t answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int32_t OpenWithShell(const std::u16string& path) override {
        openedWithShell.push_back(path);
        // What a stranger sent carries its origin before anything can run it.
        if (!std::filesystem::is_directory(std::filesystem::path(path)) &&
            std::find(marked.begin(), marked.end(), path) == marked.end())
            ADD_FAILURE() << "opened before it was marked as come from another computer";
        if (failShell) throw HostError(HostStatus::Fail, u"no shell");
        if (shellAnswers.empty()) return Unexpected("OpenWithShell");
        const int32_t answer = shellAnswers.front();
        shellAnswers.pop_front();
        return answer;
    }
    void StartProcess(const std::u16string& commandLine) override {
        startedProcesses.push_back(commandLine);
        if (!processesAllowed) Unexpected("StartProcess");
        if (failStartProcess) throw HostError(HostStatus::FileNotFound, u"cannot start");
    }
    int32_t FileExists(const std::u16string& path) override {
        if (!filesOnDisk) return Unexpected("FileExists");
        existenceTests.push_back(path);
        return std::filesystem::exists(std::filesystem::path(path)) ? 1 : 0;
    }
    /// Lists the real folder as the system does, each entry that is no 8.3 name with the short alias
    /// a file system that makes them gives it ("Quarterly report.txt": "QUARTE~1.TXT").
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        if (!listFolders) Unexpected("ListFolder");
        listings.push_back(folder);
        if (unlistable) return std::nullopt;
        std::vector<std::u16string> entries;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), error))
            entries.push_back(entry.path().filename().u16string());
        std::sort(entries.begin(), entries.end());  // the aliases' numbers in a known order
        const auto starts = [&](const std::u16string& name) {
            return base::EqualsIgnoringAsciiCase(std::u16string_view(name).substr(0, prefix.size()),
                                                 std::u16string_view(prefix));
        };
        std::map<std::u16string, int> numbers;
        std::vector<std::u16string> names;
        for (const std::u16string& name : entries) {
            const std::u16string alias = ShortAlias(name, numbers);
            if (!starts(name) && (alias.empty() || !starts(alias))) continue;
            names.push_back(name);
            if (withAliases && !alias.empty()) names.push_back(alias);
        }
        return names;
    }
    /// The alias of `name`, empty for a name that is an 8.3 name already; `numbers` counts the
    /// aliases given per stem and extension.
    static std::u16string ShortAlias(const std::u16string& name, std::map<std::u16string, int>& numbers) {
        const auto dot = name.rfind(u'.');
        const std::u16string stem = name.substr(0, dot);
        const std::u16string extension = dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
        const auto plain = [](const std::u16string& part, size_t most) {
            return part.size() <= most && !part.empty() &&
                   std::all_of(part.begin(), part.end(), [](char16_t c) {
                       return c > 0x20 && c < 0x7F && std::u16string_view(u" .+,;=[]").find(c) == std::u16string_view::npos;
                   });
        };
        if (plain(stem, 8) && (extension.empty() || plain(extension, 3))) return {};
        const auto squeeze = [](const std::u16string& part, size_t most) {
            std::u16string kept;
            for (char16_t c : part) {
                if (kept.size() == most) break;
                if (std::u16string_view(u" .").find(c) != std::u16string_view::npos) continue;
                if (c >= 0x7F || std::u16string_view(u"+,;=[]").find(c) != std::u16string_view::npos) c = u'_';
                kept.push_back(c);
            }
            return base::ToAsciiUpper(kept);
        };
        const std::u16string head = squeeze(stem, 6);
        const std::u16string tail = squeeze(extension, 3);
        const int n = ++numbers[head + u"." + tail];
        const std::string number = std::to_string(n);
        return head + u"~" + std::u16string(number.begin(), number.end()) + (tail.empty() ? u"" : u"." + tail);
    }
    std::optional<std::vector<FolderEntry>> ListFolderEntries(const std::u16string& folder) override {
        if (!listFolders) Unexpected("ListFolderEntries");
        listings.push_back(folder);
        if (unlistable) return std::nullopt;
        std::vector<FolderEntry> entries;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), error)) {
            FolderEntry listed{entry.path().filename().u16string(), {}, std::nullopt};
            if (entry.is_regular_file()) listed.size = static_cast<uint64_t>(entry.file_size());
            entries.push_back(std::move(listed));
        }
        // The aliases as ListFolder gives them, numbered in the same known order.
        std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        std::map<std::u16string, int> numbers;
        for (FolderEntry& entry : entries) entry.alias = ShortAlias(entry.name, numbers);
        return entries;
    }
    std::optional<uint64_t> FileSize(const std::u16string& path) override {
        if (!filesOnDisk) Unexpected("FileSize");
        sizesRead.push_back(path);
        std::error_code error;
        const auto size = std::filesystem::file_size(std::filesystem::path(path), error);
        if (error) return std::nullopt;
        return static_cast<uint64_t>(size);
    }
    bool FilesEqual(const std::u16string& a, const std::u16string& b) override {
        if (!filesOnDisk) Unexpected("FilesEqual");
        compared.emplace_back(a, b);
        const auto read = [](const std::u16string& path) {
            std::ifstream in(std::filesystem::path(path), std::ios::binary);
            if (!in) throw HostError(HostStatus::FileNotFound, u"the file cannot be read");
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        return read(a) == read(b);
    }
    base::Sha256Digest FileSha256(const std::u16string& path) override {
        if (!filesOnDisk) Unexpected("FileSha256");
        digested.push_back(path);
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        if (!in) throw HostError(HostStatus::FileNotFound, u"the file cannot be read");
        return base::Sha256::Of(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    bool IsOnNetwork(const std::u16string&) override {
        Unexpected("IsOnNetwork");
        return false;
    }
    std::u16string FileSystemUpperCase(const std::u16string& name) override {
        if (!listFolders) Unexpected("FileSystemUpperCase");
        return base::ToAsciiUpper(name);
    }
    bool MarkAsFromInternet(const std::u16string& path) noexcept override {
        marked.push_back(path);
        return true;
    }
    std::optional<std::u16string> TemporaryPathFor(const std::u16string& target) override {
        if (!filesOnDisk) Unexpected("TemporaryPathFor");
        const std::filesystem::path path(target);
        const std::filesystem::path folder = path.parent_path();
        if (std::find(refusingNewFiles.begin(), refusingNewFiles.end(), folder.u16string()) != refusingNewFiles.end())
            throw HostError(HostStatus::Fail, u"the folder takes no new file");
        if (std::find(dropBoxes.begin(), dropBoxes.end(), folder.u16string()) != dropBoxes.end()) {
            if (std::filesystem::exists(path)) throw HostError(HostStatus::Fail, u"the folder lets no file be replaced");
            std::ofstream(path, std::ios::binary).flush();
            return std::nullopt;
        }
        if (!std::filesystem::is_directory(folder)) throw HostError(HostStatus::FileNotFound, u"no such folder");
        for (int n = static_cast<int>(temporaryPaths.size()) + 1;; ++n) {
            const std::filesystem::path candidate = folder / (".~tlb" + std::to_string(n) + ".tmp");
            if (std::filesystem::exists(candidate) || candidate == path) continue;
            temporaryPaths.push_back(candidate.u16string());
            return temporaryPaths.back();
        }
    }
    void PutInPlace(const std::u16string& file, const std::u16string& target) override {
        if (!filesOnDisk) Unexpected("PutInPlace");
        putInPlace.emplace_back(file, target);
        if (static_cast<int>(putInPlace.size()) == failPutInPlaceAt) throw HostError(HostStatus::Fail, u"the move is refused");
        if (std::filesystem::is_directory(std::filesystem::path(target)))
            throw HostError(HostStatus::Fail, u"the target is a folder");
        std::error_code error;
        std::filesystem::rename(std::filesystem::path(file), std::filesystem::path(target), error);
        if (error) throw HostError(HostStatus::Fail, u"the move failed");
    }
    bool PlaceAsNewFile(const std::u16string& file, const std::u16string& target) override {
        if (!filesOnDisk) Unexpected("PlaceAsNewFile");
        placedAsNew.push_back(target);
        if (appearing) appearing(target);
        if (std::filesystem::exists(std::filesystem::path(target))) return false;
        std::error_code error;
        std::filesystem::rename(std::filesystem::path(file), std::filesystem::path(target), error);
        if (error) throw HostError(HostStatus::Fail, u"the move failed");
        return true;
    }
    bool RemoveFile(const std::u16string& path) noexcept override {
        removed.push_back(path);
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::path(path), ignored);
        return !std::filesystem::exists(std::filesystem::path(path), ignored);
    }
    std::u16string GetSetting(const std::u16string& app, const std::u16string& section, const std::u16string& key,
                              const std::u16string& defaultValue) override {
        ++reads;
        const auto it = settings.find({app, section, key});
        return it == settings.end() ? defaultValue : it->second;
    }
    void SaveSetting(const std::u16string& app, const std::u16string& section, const std::u16string& key,
                     const std::u16string& value) override {
        if (failSave) throw HostError(HostStatus::Fail, u"store not writable");
        settings[{app, section, key}] = value;
        saved.push_back(value);
    }
    std::u16string FormatDate(const host::DateTime&, const std::u16string&) override {
        Unexpected("FormatDate");
        return {};
    }
    std::shared_ptr<host::Picture> LoadPicture(int16_t resourceId) override {
        if (failLoadPicture) throw HostError(HostStatus::Fail, u"no such resource");
        loaded.push_back(resourceId);
        auto picture = std::make_shared<FakePicture>(resourceId);
        pictures.push_back(picture);
        return picture;
    }
    std::shared_ptr<SaveAsPrompt> CreateSaveAsPrompt() override {
        if (!prompt) Unexpected("CreateSaveAsPrompt");
        ++promptsCreated;
        return std::make_shared<OwnedPrompt>(prompt, promptsDestroyedWhileUp);
    }
    std::shared_ptr<FolderPrompt> CreateFolderPrompt() override {
        if (!folderPrompt) Unexpected("CreateFolderPrompt");
        return folderPrompt;
    }
    std::shared_ptr<ProgressWindow> ShowProgress(const std::u16string& title) override {
        progress->titles.push_back(title);
        return std::make_shared<FakeProgress>(progress);
    }
    int64_t Milliseconds() noexcept override {
        const int64_t reading = now;
        now += tick;
        return reading;
    }
    PolicyValue ReadPolicyValue(PolicyHive hive, const std::u16string& key, const std::u16string& name) override {
        policyReads.push_back({hive, key + u"\\" + name});
        if (failPolicyRead) throw HostError(HostStatus::NoAccess, u"the policy key cannot be read");
        const auto it = policies.find({hive, name});
        return it == policies.end() ? PolicyValue{} : it->second;
    }

private:
    static int32_t Unexpected(const char* what) {
        ADD_FAILURE() << "unexpected platform call " << what;
        throw HostError(HostStatus::Unexpected, u"unexpected platform call");
    }
};

}  // namespace addin
