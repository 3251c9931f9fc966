#include "addin/core/FolderNames.h"

#include <utility>

#include "addin/core/FileNameMangler.h"
#include "addin/core/PathNames.h"
#include "addin/core/Platform.h"
#include "base/Tolerate.h"

namespace addin {

namespace {

std::u16string WithoutTrailingBackslash(std::u16string folder) {
    // "C:\" keeps its backslash: "C:" alone names the drive's current folder.
    while (folder.size() > 1 && folder.back() == u'\\' && !(folder.size() == 3 && folder[1] == u':')) folder.pop_back();
    return folder;
}

}  // namespace

FolderNames::FolderNames(Platform& platform, std::u16string folder)
    : platform_(platform), folder_(WithoutTrailingBackslash(std::move(folder))) {}

std::u16string FolderNames::PathOf(const std::u16string& name) const {
    if (!folder_.empty() && (folder_.back() == u'\\' || folder_.back() == u'/')) return folder_ + name;
    // A folder written with forward slashes only is joined the same way (both separate on Windows).
    const bool forward = folder_.find(u'/') != std::u16string::npos && folder_.find(u'\\') == std::u16string::npos;
    return folder_ + (forward ? u"/" : u"\\") + name;
}

std::u16string FolderNames::StartName(const std::u16string& fileName) const {
    return PathNames::FitFileName(PathNames::SafeFileName(fileName), folder_);
}

std::u16string FolderNames::NameFor(const std::u16string& fileName, FileNameMangler& mangler) {
    const std::u16string start = StartName(fileName);
    if (!start.empty() && !Taken(start)) return start;
    return mangler.FirstFreeName(fileName, folder_, [this](const std::u16string& name) { return Taken(name); });
}

const std::u16string& FolderNames::KeyOf(const std::u16string& name) {
    // Many attachments of one name try the same numbered names again and again: each name's key
    // (a call into the system) is formed once per run.
    const auto known = keys_.find(name);
    if (known != keys_.end()) return known->second;
    return keys_.emplace(name, FileNameMangler::NameKey(platform_, name)).first->second;
}

void FolderNames::Record(const std::u16string& name) { written_.insert(KeyOf(name)); }

void FolderNames::List() {
    if (listed_) return;
    listed_ = true;
    ++listings_;
    // Every entry, with its short alias (a long name may equal another file's alias) and its size.
    if (auto listing = platform_.ListFolderEntries(folder_)) {
        entries_.emplace();
        for (FolderEntry& entry : *listing) {
            const size_t index = listing_.size();
            if (!entry.alias.empty()) entries_->emplace(FileNameMangler::NameKey(platform_, entry.alias), index);
            entries_->emplace(FileNameMangler::NameKey(platform_, entry.name), index);
            listing_.push_back({std::move(entry.name), entry.size, false, false, std::nullopt});
        }
    }
}

bool FolderNames::Taken(const std::u16string& name) {
    const std::u16string& key = KeyOf(name);
    if (written_.count(key) != 0) return true;
    List();
    if (entries_) return entries_->count(key) != 0;
    // A folder that cannot be listed (no right to list it) may still take files: ask for this name.
    ++tests_;
    return platform_.FileExists(PathOf(name)) == 1;
}

std::u16string FolderNames::SameFileAs(const std::u16string& written, const std::u16string& fileName,
                                       FileNameMangler& mangler) {
    List();
    if (!entries_) return {};
    std::optional<uint64_t> size;
    std::optional<base::Sha256Digest> digest;
    bool sized = false;
    bool digested = false;
    Listed* same = nullptr;
    // True when `name` is a file of the listing with `written`'s bytes. Each file of the folder is
    // digested at most once per run, whatever number of attachments it is compared with; a file
    // whose digest matches is then compared byte for byte.
    const auto matches = [&](const std::u16string& name) {
        const auto key = entries_->find(KeyOf(name));
        if (key == entries_->end()) return false;
        Listed& entry = listing_[key->second];
        if (entry.found || !entry.size) return false;
        // The written file's size is read once, and only when a file could be the same.
        if (!sized) {
            sized = true;
            base::Tolerate([&] { size = platform_.FileSize(written); });
        }
        if (size != entry.size) return false;
        if (!digested) {
            digested = true;
            base::Tolerate([&] { digest = platform_.FileSha256(written); });
        }
        if (!digest) return false;
        // A file that cannot be read is not taken for the same.
        if (!entry.digested) {
            entry.digested = true;
            base::Tolerate([&] { entry.digest = platform_.FileSha256(PathOf(entry.name)); });
        }
        if (entry.digest != digest) return false;
        bool equal = false;
        base::Tolerate([&] { equal = platform_.FilesEqual(written, PathOf(entry.name)); });
        if (!equal) return false;
        same = &entry;
        return true;
    };
    const std::u16string start = StartName(fileName);
    if (start.empty() || !matches(start)) {
        // The suggestions' names in NameFor's order; the walk ends at the same file, which it
        // takes for a free name.
        (void)mangler.FirstFreeName(fileName, folder_, [&](const std::u16string& name) {
            if (same || matches(name)) return false;
            return Taken(name);
        });
    }
    if (!same) return {};
    same->found = true;
    return same->name;
}

}  // namespace addin
