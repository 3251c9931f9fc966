#include "core/FileNameMangler.h"

#include <optional>
#include <string>

#include "core/HostError.h"
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
    // The text of the box may be anything the user typed or the sender chose: only its safe form
    // (no folder part, no forbidden or hidden characters) is a stem for names in this folder.
    std::u16string baseName;
    const std::u16string extension = modPath::SplitFileName(modPath::SafeFileName(fileName), baseName);
    // A name made by an earlier suggestion goes back to its stem.
    if (const auto cut = baseName.find(kSeparator); cut != std::u16string::npos) baseName.resize(cut);

    std::vector<std::u16string> names;
    AddCandidate(names, baseName, {}, extension, folder, true);

    const bool isMail = item_ && item_->TypeName() == kMailItem;
    if (isMail && OfficeVer::OfficeMajorVersion >= kFirstVersionWithSender) {
        const std::optional<std::u16string> date = SentDate();
        const std::u16string sender = modPath::ReplaceUnsafeCharacters(StripMailDomain(item_->SenderName()));
        AddCandidate(names, baseName, kSeparator + sender, extension, folder, false);
        if (date) {
            AddCandidate(names, baseName, kSeparator + sender + kSeparator + *date, extension, folder, false);
            AddCandidate(names, baseName, kSeparator + *date, extension, folder, false);
        }
    }
    return names;
}

std::u16string FileNameMangler::StripMailDomain(const std::u16string& name) {
    return name.substr(0, name.find(u'@'));
}

std::optional<std::u16string> FileNameMangler::SentDate() {
    // A date the system cannot format (before 1601, say) costs the date's names, not the others.
    try {
        return modPath::ReplaceUnsafeCharacters(platform_.FormatDate(item_->SentOn(), kDatePattern));
    } catch (const HostError&) {
        return std::nullopt;
    }
}

std::u16string FileNameMangler::OfferedName(const std::u16string& stem, const std::u16string& decoration,
                                            const std::u16string& number, const std::u16string& extension,
                                            std::size_t room) {
    // No dot for an empty extension: the system would drop it, and the name offered is the name written.
    const std::u16string tail = number + (extension.empty() ? std::u16string() : u"." + extension);
    // Too long for the folder: the attachment's stem gives way first, so the sender, the date and
    // the number stay; then the stem with its sender and date.
    if (auto name = modPath::TryFitName(stem, decoration + tail, room)) return *name;
    if (auto name = modPath::TryFitName(stem + decoration, tail, room)) return *name;
    return modPath::TryFitName(stem + decoration + tail, {}, std::u16string::npos).value_or(std::u16string());
}

std::u16string FileNameMangler::GetUniqueFileName(const std::u16string& baseName, const std::u16string& decoration,
                                                  const std::u16string& extension, const std::u16string& folder,
                                                  bool forceNumber) {
    const std::size_t room = modPath::RoomInFolder(folder);
    const std::u16string plain = OfferedName(baseName, decoration, {}, extension, room);
    if (!plain.empty() && !FileExistsInFolder(plain, folder) && !forceNumber) return plain;
    for (int n = 1; n <= kLastNumber; ++n) {
        std::u16string numbered = OfferedName(baseName, decoration, kSeparator + Decimal(n), extension, room);
        if (!FileExistsInFolder(numbered, folder)) return numbered;
    }
    return {};
}

void FileNameMangler::AddCandidate(std::vector<std::u16string>& names, const std::u16string& baseName,
                                   const std::u16string& decoration, const std::u16string& extension,
                                   const std::u16string& folder, bool forceNumber) {
    std::u16string name = GetUniqueFileName(baseName, decoration, extension, folder, forceNumber);
    if (!name.empty()) names.push_back(std::move(name));
}

bool FileNameMangler::FileExistsInFolder(const std::u16string& fileName, const std::u16string& folder) {
    // The backslash is inserted even after an empty folder or a drive root.
    return platform_.FileExists(folder + u"\\" + fileName) == 1;
}
