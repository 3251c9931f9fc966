#pragma once
// A platform that hands every call to another one: a benchmark overrides only what it measures
// or replaces.
#include "addin/core/Platform.h"

namespace addin {

class ForwardingPlatform : public Platform {
public:
    explicit ForwardingPlatform(Platform& real) : real_(real) {}

    int32_t ShowMessageBox(const std::u16string& t, const std::u16string& c, int32_t f) override {
        return real_.ShowMessageBox(t, c, f);
    }
    int32_t OpenWithShell(const std::u16string& path) override { return real_.OpenWithShell(path); }
    void StartProcess(const std::u16string& commandLine) override { real_.StartProcess(commandLine); }
    int32_t FileExists(const std::u16string& path) override { return real_.FileExists(path); }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        return real_.ListFolder(folder, prefix, withAliases);
    }
    std::optional<std::vector<FolderEntry>> ListFolderEntries(const std::u16string& folder) override {
        return real_.ListFolderEntries(folder);
    }
    std::optional<uint64_t> FileSize(const std::u16string& path) override { return real_.FileSize(path); }
    bool FilesEqual(const std::u16string& a, const std::u16string& b) override { return real_.FilesEqual(a, b); }
    base::Sha256Digest FileSha256(const std::u16string& path) override { return real_.FileSha256(path); }
    bool IsOnNetwork(const std::u16string& folder) override { return real_.IsOnNetwork(folder); }
    std::u16string FileSystemUpperCase(const std::u16string& name) override { return real_.FileSystemUpperCase(name); }
    bool MarkAsFromInternet(const std::u16string& path) noexcept override { return real_.MarkAsFromInternet(path); }
    std::optional<std::u16string> TemporaryPathFor(const std::u16string& target) override {
        return real_.TemporaryPathFor(target);
    }
    void PutInPlace(const std::u16string& file, const std::u16string& target) override { real_.PutInPlace(file, target); }
    bool PlaceAsNewFile(const std::u16string& file, const std::u16string& target) override {
        return real_.PlaceAsNewFile(file, target);
    }
    bool RemoveFile(const std::u16string& path) noexcept override { return real_.RemoveFile(path); }
    std::u16string GetSetting(const std::u16string& a, const std::u16string& s, const std::u16string& k,
                              const std::u16string& d) override {
        return real_.GetSetting(a, s, k, d);
    }
    void SaveSetting(const std::u16string& a, const std::u16string& s, const std::u16string& k,
                     const std::u16string& v) override {
        real_.SaveSetting(a, s, k, v);
    }
    std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) override {
        return real_.FormatDate(value, pattern);
    }
    std::shared_ptr<host::Picture> LoadPicture(int16_t id) override { return real_.LoadPicture(id); }
    std::shared_ptr<SaveAsPrompt> CreateSaveAsPrompt() override { return real_.CreateSaveAsPrompt(); }
    std::shared_ptr<FolderPrompt> CreateFolderPrompt() override { return real_.CreateFolderPrompt(); }
    std::shared_ptr<ProgressWindow> ShowProgress(const std::u16string& title) override {
        return real_.ShowProgress(title);
    }
    int64_t Milliseconds() noexcept override { return real_.Milliseconds(); }
    PolicyValue ReadPolicyValue(PolicyHive hive, const std::u16string& key, const std::u16string& name) override {
        return real_.ReadPolicyValue(hive, key, name);
    }

protected:
    Platform& real_;
};

}  // namespace addin
