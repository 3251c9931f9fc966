#include "core/FileNameMangler.h"

#include <string>

#include "core/OfficeVer.h"
#include "core/Platform.h"
#include "core/host/Item.h"
#include "core/modPath.h"

namespace {

constexpr char16_t kSeparator[] = u" -- ";
constexpr char16_t kDatePattern[] = u"d-mmm-yyyy";
constexpr char16_t kMailItem[] = u"MailItem";
constexpr int kLastNumber = 100;
// The first host version whose mail items give a usable sender name and sent date.
constexpr int16_t kFirstVersionWithSender = 11;

std::u16string Decimal(int n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

FileNameMangler::FileNameMangler(Platform& platform) : platform_(platform) {}

std::vector<std::u16string> FileNameMangler::GetFileNameMangling(const std::u16string& fileName,
                                                                 const std::u16string& folder) {
    std::u16string baseName;
    const std::u16string extension = modPath::SplitFileName(fileName, baseName);
    // A name made by an earlier suggestion goes back to its stem.
    if (const auto cut = baseName.find(kSeparator); cut != std::u16string::npos) baseName.resize(cut);

    std::vector<std::u16string> names;
    AddCandidate(names, baseName, extension, folder, true);

    const bool isMail = item_ && item_->TypeName() == kMailItem;
    if (isMail && OfficeVer::OfficeMajorVersion >= kFirstVersionWithSender) {
        const std::u16string date = platform_.FormatDate(item_->SentOn(), kDatePattern);
        const std::u16string sender = SafeForFileName(StripMailDomain(item_->SenderName()));
        AddCandidate(names, baseName + kSeparator + sender, extension, folder, false);
        AddCandidate(names, baseName + kSeparator + sender + kSeparator + date, extension, folder, false);
        AddCandidate(names, baseName + kSeparator + date, extension, folder, false);
    }
    return names;
}

std::u16string FileNameMangler::StripMailDomain(const std::u16string& name) {
    return name.substr(0, name.find(u'@'));
}

// The sender's name is chosen by whoever sent the message: a separator or drive colon in it would
// turn a suggestion into a path outside the folder the user is looking at.
std::u16string FileNameMangler::SafeForFileName(std::u16string name) {
    for (char16_t& c : name) {
        if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) c = u'_';
    }
    return name;
}

std::u16string FileNameMangler::GetUniqueFileName(const std::u16string& baseName, const std::u16string& extension,
                                                  const std::u16string& folder, bool forceNumber) {
    // The dot is written even for an empty extension.
    const std::u16string plain = baseName + u"." + extension;
    if (!FileExistsInFolder(plain, folder) && !forceNumber) return plain;
    for (int n = 1; n <= kLastNumber; ++n) {
        std::u16string numbered = baseName + kSeparator + Decimal(n) + u"." + extension;
        if (!FileExistsInFolder(numbered, folder)) return numbered;
    }
    return {};
}

void FileNameMangler::AddCandidate(std::vector<std::u16string>& names, const std::u16string& baseName,
                                   const std::u16string& extension, const std::u16string& folder, bool forceNumber) {
    std::u16string name = GetUniqueFileName(baseName, extension, folder, forceNumber);
    if (!name.empty()) names.push_back(std::move(name));
}

bool FileNameMangler::FileExistsInFolder(const std::u16string& fileName, const std::u16string& folder) {
    // The backslash is inserted even after an empty folder or a drive root.
    return platform_.FileExists(folder + u"\\" + fileName) == 1;
}
