#include "addin/core/FileNameMangler.h"

#include <algorithm>
#include <stdexcept>
#include <optional>
#include <string>
#include <unordered_set>

#include "addin/core/PathNames.h"
#include "addin/core/Platform.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

namespace {

constexpr char16_t kSeparator[] = u" -- ";
// The stem of an attachment whose name leaves none.
constexpr char16_t kNoName[] = u"attachment";
constexpr char16_t kDatePattern[] = u"d-mmm-yyyy";
constexpr char16_t kMailItem[] = u"MailItem";
constexpr int kLastNumber = 100;
// The first host version whose mail items give a usable sender name and sent date.
constexpr int16_t kFirstVersionWithSender = 11;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// True when `name` has the shape of a short 8.3 alias: at most eight units, then at most one dot
// and three units. Generous: which characters an alias may hold is left to the file system.
bool CouldBeShortAlias(const std::u16string& name) {
    const auto dot = name.find(u'.');
    if (dot == std::u16string::npos) return name.size() <= 8;
    return dot <= 8 && name.size() - dot - 1 <= 3 && name.find(u'.', dot + 1) == std::u16string::npos;
}

std::u16string Decimal(int n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

FileNameMangler::FileNameMangler(Platform& platform, int16_t hostMajorVersion)
    : platform_(platform), hostMajorVersion_(hostMajorVersion) {}

std::vector<FileNameMangler::Candidate> FileNameMangler::Candidates(const std::u16string& fileName,
                                                                     const std::u16string& folder, bool decorated) {
    // The text of the box may be anything the user typed or the sender chose: only its safe form
    // (no folder part, no forbidden or hidden characters) is a stem for names in this folder.
    const std::u16string safeName = PathNames::SafeFileName(fileName);
    std::u16string baseName;
    std::u16string extension = PathNames::SplitFileName(safeName, baseName);
    // A name that splits into no stem (".htaccess") is a stem as a whole, with no extension.
    if (baseName.empty()) {
        baseName = safeName;
        extension.clear();
    }
    // A name made by an earlier suggestion goes back to its stem.
    if (const auto cut = baseName.find(kSeparator); cut != std::u16string::npos) baseName.resize(cut);
    // With nothing left of the name (empty, dots only), the names still say what they are.
    if (baseName.empty()) baseName = kNoName;

    // Every candidate is known before the folder is asked, so that one listing answers for all.
    const std::size_t room = PathNames::RoomInFolder(folder);
    std::vector<Candidate> candidates;
    candidates.emplace_back(baseName, std::u16string(), extension, room, true);
    const bool isMail = item_ && item_->TypeName() == kMailItem;
    if (decorated && isMail && hostMajorVersion_ >= kFirstVersionWithSender) {
        const std::optional<std::u16string> date = SentDate();
        const std::optional<std::u16string> sender = Sender();
        if (sender) candidates.emplace_back(baseName, kSeparator + *sender, extension, room, false);
        if (date) {
            if (sender)
                candidates.emplace_back(baseName, kSeparator + *sender + kSeparator + *date, extension, room, false);
            candidates.emplace_back(baseName, kSeparator + *date, extension, room, false);
        }
    }
    return candidates;
}

std::vector<std::u16string> FileNameMangler::UniqueNames(std::vector<Candidate>& candidates, const Taken& taken) {
    std::vector<std::u16string> names;
    for (Candidate& candidate : candidates) {
        std::u16string name = GetUniqueFileName(candidate, taken);
        if (!name.empty()) names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::u16string> FileNameMangler::GetFileNameMangling(const std::u16string& fileName,
                                                                 const std::u16string& folder, FolderLookup lookup) {
    std::vector<Candidate> candidates = Candidates(fileName, folder);
    const Taken probe = [this, &folder](const std::u16string& name) { return FileExistsInFolder(name, folder); };
    Taken taken = probe;
    if (lookup == FolderLookup::Listing) {
        // On a local disk one test costs far less than a query: names are tested until one is
        // taken, and the rest answered from one listing. On a share every call is a round trip.
        taken = [&, testing = !OnNetwork(folder), listed = false,
                 listing = std::optional<Taken>()](const std::u16string& name) mutable {
            if (testing) {
                if (!probe(name)) return false;
                testing = false;  // the names after the first one taken come from the listing
                return true;
            }
            if (!listed) listing = ListedNames(candidates, folder);
            listed = true;
            return listing ? (*listing)(name) : probe(name);
        };
    }
    return UniqueNames(candidates, taken);
}

std::vector<std::u16string> FileNameMangler::GetFileNameMangling(
    const std::u16string& fileName, const std::u16string& folder,
    const std::function<bool(const std::u16string&)>& taken) {
    std::vector<Candidate> candidates = Candidates(fileName, folder);
    return UniqueNames(candidates, taken);
}

std::u16string FileNameMangler::FirstFreeName(const std::u16string& fileName, const std::u16string& folder,
                                              const std::function<bool(const std::u16string&)>& taken) {
    // The numbered name comes first in the list: the sender (a protected member) and the date are
    // asked for only when it has no free number left.
    std::vector<Candidate> numbered = Candidates(fileName, folder, false);
    if (std::u16string name = GetUniqueFileName(numbered.front(), taken); !name.empty()) return name;
    const std::vector<std::u16string> names = GetFileNameMangling(fileName, folder, taken);
    return names.empty() ? std::u16string() : names.front();
}

std::u16string FileNameMangler::StripMailDomain(const std::u16string& name) {
    return name.substr(0, name.find(u'@'));
}

std::optional<std::u16string> FileNameMangler::Sender() {
    // A protected member: the host's guard may ask the user, whose No fails the call. Asked once per
    // item, so one refusal is one question; it costs the sender's names, not the others.
    if (!sender_) {
        std::optional<std::u16string> name;
        base::Tolerate([&] { name = PathNames::ReplaceUnsafeCharacters(StripMailDomain(item_->SenderName())); });
        sender_.emplace(std::move(name));
    }
    return *sender_;
}

std::optional<std::u16string> FileNameMangler::SentDate() {
    // A date the system cannot format (before 1601, say) costs the date's names, not the others.
    std::optional<std::u16string> date;
    base::Tolerate([&] { date = PathNames::ReplaceUnsafeCharacters(platform_.FormatDate(item_->SentOn(), kDatePattern)); });
    return date;
}

std::u16string FileNameMangler::OfferedName(const std::u16string& stem, const std::u16string& decoration,
                                            const std::u16string& number, const std::u16string& extension,
                                            std::size_t room) {
    // No dot for an empty extension: the system would drop it, and the name offered is the name written.
    const std::u16string tail = number + (extension.empty() ? std::u16string() : u"." + extension);
    // Too long for the folder: the attachment's stem gives way first, so the sender, the date and
    // the number stay; then the stem with its sender and date.
    if (auto name = PathNames::TryFitName(stem, decoration + tail, room)) return *name;
    if (auto name = PathNames::TryFitName(stem + decoration, tail, room)) return *name;
    return PathNames::TryFitName(stem + decoration + tail, {}, std::u16string::npos).value_or(std::u16string());
}

FileNameMangler::Candidate::Candidate(std::u16string baseName, std::u16string decoration, std::u16string extension,
                                      std::size_t room, bool numbered)
    : forceNumber(numbered),
      baseName_(std::move(baseName)),
      decoration_(std::move(decoration)),
      extension_(std::move(extension)),
      room_(room) {
    // Every name a candidate can have fits from the start: a name handed out stays where it is
    // while later ones are formed.
    names_.reserve(kLastNumber + 1);
}

const std::u16string& FileNameMangler::Candidate::Name(int number) {
    if (number < 0 || number > kLastNumber) throw std::out_of_range("no such number");
    while (static_cast<int>(names_.size()) <= number) {
        const int n = static_cast<int>(names_.size());
        names_.push_back(OfferedName(baseName_, decoration_, n == 0 ? std::u16string() : kSeparator + Decimal(n),
                                     extension_, room_));
    }
    return names_[number];
}

std::u16string FileNameMangler::GetUniqueFileName(Candidate& candidate, const Taken& taken) {
    // The plain name is tested even when a number is forced, as the numbered names only follow it.
    const std::u16string& plain = candidate.Name(0);
    if (!plain.empty() && !taken(plain) && !candidate.forceNumber) return plain;
    for (int n = 1; n <= kLastNumber; ++n)
        if (!taken(candidate.Name(n))) return candidate.Name(n);
    return {};
}

std::optional<FileNameMangler::Taken> FileNameMangler::ListedNames(std::vector<Candidate>& candidates,
                                                                   const std::u16string& folder) {
    // Every name that may be tried begins with the text all of them share, so the entries listed
    // for that text are all that can take one, by their name or by their short alias. A name can
    // equal an alias only when it is short enough to be one: only then are aliases asked for.
    std::optional<std::u16string> prefix;
    bool aliases = false;
    for (Candidate& candidate : candidates) {
        for (int n = 0; n <= kLastNumber; ++n) {
            const std::u16string& name = candidate.Name(n);
            if (name.empty()) continue;
            if (!prefix)
                prefix = name;
            else
                prefix->resize(std::mismatch(prefix->begin(), prefix->end(), name.begin(), name.end()).first -
                               prefix->begin());
            aliases = aliases || CouldBeShortAlias(name);
        }
    }
    if (!prefix) return Taken([](const std::u16string&) { return false; });
    if (!prefix->empty() && IsHighSurrogate(prefix->back())) prefix->pop_back();
    // A character no name holds would be read as a wildcard or a path by the query: ask name by name.
    if (std::any_of(prefix->begin(), prefix->end(), PathNames::IsForbiddenInFileName)) return std::nullopt;
    std::optional<std::vector<std::u16string>> entries = platform_.ListFolder(folder, *prefix, aliases);
    if (!entries) return std::nullopt;
    auto keys = std::make_shared<std::unordered_set<std::u16string>>();
    for (const std::u16string& entry : *entries) keys->insert(platform_.FileSystemUpperCase(entry));
    return Taken([this, keys](const std::u16string& name) { return keys->count(NameKey(platform_, name)) != 0; });
}

std::u16string FileNameMangler::NameKey(Platform& platform, const std::u16string& name) {
    // The system looks a name up without its trailing dots and spaces ("README." is "README").
    const auto end = name.find_last_not_of(u". ");
    return platform.FileSystemUpperCase(name.substr(0, end == std::u16string::npos ? 0 : end + 1));
}

bool FileNameMangler::OnNetwork(const std::u16string& folder) {
    // Where a folder lies does not change while the dialog shows it, and asking can cost more
    // than the refresh itself (the system's mount manager under Wine).
    if (!networkFolder_ || networkFolder_->first != folder) networkFolder_.emplace(folder, platform_.IsOnNetwork(folder));
    return networkFolder_->second;
}

bool FileNameMangler::FileExistsInFolder(const std::u16string& fileName, const std::u16string& folder) {
    // The backslash is inserted even after an empty folder or a drive root.
    return platform_.FileExists(folder + u"\\" + fileName) == 1;
}

}  // namespace addin
