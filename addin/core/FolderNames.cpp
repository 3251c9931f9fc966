#include "addin/core/FolderNames.h"

#include <utility>

#include "addin/core/FileNameMangler.h"
#include "addin/core/PathNames.h"
#include "addin/core/Platform.h"

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

bool FolderNames::Taken(const std::u16string& name) {
    const std::u16string& key = KeyOf(name);
    if (written_.count(key) != 0) return true;
    if (!listed_) {
        listed_ = true;
        ++listings_;
        // Every entry, with its short alias: a long name may equal another file's alias.
        if (auto listing = platform_.ListFolder(folder_, {}, true)) {
            entries_.emplace();
            for (const std::u16string& entry : *listing) entries_->insert(FileNameMangler::NameKey(platform_, entry));
        }
    }
    if (entries_) return entries_->count(key) != 0;
    // A folder that cannot be listed (no right to list it) may still take files: ask for this name.
    ++tests_;
    return platform_.FileExists(PathOf(name)) == 1;
}

}  // namespace addin
