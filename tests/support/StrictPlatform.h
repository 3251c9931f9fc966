#pragma once
// A platform on which every service is unexpected until a test overrides it: each call reports
// itself through Unexpected and then fails (a HostError, or false where the service cannot throw).
// Portable: the Windows tests and the fuzz targets derive from it alike.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/core/Platform.h"
#include "base/HostError.h"

namespace addin {

class StrictPlatform : public Platform {
public:
    int32_t ShowMessageBox(const std::u16string&, const std::u16string&, int32_t) override { Fail("ShowMessageBox"); }
    int32_t OpenWithShell(const std::u16string&) override { Fail("OpenWithShell"); }
    void StartProcess(const std::u16string&) override { Fail("StartProcess"); }
    int32_t FileExists(const std::u16string&) override { Fail("FileExists"); }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string&, const std::u16string&,
                                                          bool) override {
        Fail("ListFolder");
    }
    std::optional<std::vector<FolderEntry>> ListFolderEntries(const std::u16string&) override {
        Fail("ListFolderEntries");
    }
    std::optional<uint64_t> FileSize(const std::u16string&) override { Fail("FileSize"); }
    bool FilesEqual(const std::u16string&, const std::u16string&) override { Fail("FilesEqual"); }
    base::Sha256Digest FileSha256(const std::u16string&) override { Fail("FileSha256"); }
    bool IsOnNetwork(const std::u16string&) override { Fail("IsOnNetwork"); }
    std::u16string FileSystemUpperCase(const std::u16string&) override { Fail("FileSystemUpperCase"); }
    bool MarkAsFromInternet(const std::u16string&) noexcept override {
        Unexpected("MarkAsFromInternet");
        return false;
    }
    std::optional<std::u16string> TemporaryPathFor(const std::u16string&) override { Fail("TemporaryPathFor"); }
    void PutInPlace(const std::u16string&, const std::u16string&) override { Fail("PutInPlace"); }
    bool PlaceAsNewFile(const std::u16string&, const std::u16string&) override {
        Fail("PlaceAsNewFile");
        return false;
    }
    bool RemoveFile(const std::u16string&) noexcept override {
        Unexpected("RemoveFile");
        return false;
    }
    std::u16string GetSetting(const std::u16string&, const std::u16string&, const std::u16string&,
                              const std::u16string&) override {
        Fail("GetSetting");
    }
    void SaveSetting(const std::u16string&, const std::u16string&, const std::u16string&,
                     const std::u16string&) override {
        Fail("SaveSetting");
    }
    std::u16string FormatDate(const host::DateTime&, const std::u16string&) override { Fail("FormatDate"); }
    std::shared_ptr<host::Picture> LoadPicture(int16_t) override { Fail("LoadPicture"); }
    std::shared_ptr<SaveAsPrompt> CreateSaveAsPrompt() override { Fail("CreateSaveAsPrompt"); }
    std::shared_ptr<FolderPrompt> CreateFolderPrompt() override { Fail("CreateFolderPrompt"); }
    std::shared_ptr<ProgressWindow> ShowProgress(const std::u16string&) override { Fail("ShowProgress"); }
    int64_t Milliseconds() noexcept override {
        Unexpected("Milliseconds");
        return 0;
    }
    PolicyValue ReadPolicyValue(PolicyHive, const std::u16string&, const std::u16string&) override {
        Fail("ReadPolicyValue");
    }

protected:
    /// Told of each service called that the test did not override, before the call fails.
    virtual void Unexpected(const char* service) noexcept = 0;

private:
    [[noreturn]] void Fail(const char* service) {
        Unexpected(service);
        throw HostError(HostStatus::Unexpected, u"unexpected platform call");
    }
};

}  // namespace addin
