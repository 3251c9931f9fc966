#pragma once
// The names taken in the one folder that "Save All Attachments" writes every attachment into.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/Sha256.h"

namespace addin {

class FileNameMangler;
class Platform;

/// The names of one folder for one run: the folder's entries, listed once for the whole run, and
/// the names the run has written itself, compared as the file system compares names (letter case
/// and trailing dots and spaces ignored).
class FolderNames {
public:
    /// `folder` as the system's dialogs give it (a trailing backslash is allowed); `platform` must
    /// outlive this object.
    FolderNames(Platform& platform, std::u16string folder);

    /// The folder without its trailing backslash, but for a drive root ("C:\").
    const std::u16string& Folder() const noexcept { return folder_; }
    /// The full path of `name` in the folder, joined by a backslash (by a slash where the folder
    /// is written with slashes only).
    std::u16string PathOf(const std::u16string& name) const;

    /// The name to write an attachment named `fileName` under: the name the Save As dialog would
    /// start with (safe, fitted to the folder) while it is free; otherwise the first free name of
    /// the list the dialog's drop-down would offer (`mangler`, numbered names first). Empty when no
    /// name is free. The folder is listed at the first call; where it cannot be listed, each name
    /// is tested on its own.
    std::u16string NameFor(const std::u16string& fileName, FileNameMangler& mangler);
    /// The name the Save As dialog would start with for `fileName` in this folder.
    std::u16string StartName(const std::u16string& fileName) const;
    /// The name of a file the folder held when listed, under `fileName`'s start name or a name of
    /// its suggestions (as NameFor walks them), that holds the same bytes as the file at `written`;
    /// empty when there is none. Only files of `written`'s size are compared: by digest, each file
    /// read once per run, then byte for byte where the digests match; a file found here is not
    /// found again in the run: each attachment has its own.
    std::u16string SameFileAs(const std::u16string& written, const std::u16string& fileName, FileNameMangler& mangler);
    /// Records that `name` is taken (the run wrote it, or found it taken since the listing): no
    /// later attachment of the run gets it.
    void Record(const std::u16string& name);
    /// Whether `name` is taken, by an entry of the folder or by a name recorded.
    bool Taken(const std::u16string& name);

    /// How many times the folder was listed (ListFolder), and how many names were tested one by one.
    int32_t Listings() const noexcept { return listings_; }
    int32_t Tests() const noexcept { return tests_; }

private:
    const std::u16string& KeyOf(const std::u16string& name);

    Platform& platform_;
    std::u16string folder_;
    bool listed_ = false;
    struct Listed {
        std::u16string name;
        std::optional<uint64_t> size;  // nothing for a folder
        bool found = false;            // already found the same as an attachment of the run
        bool digested = false;         // its digest read (nothing where it could not be read)
        std::optional<base::Sha256Digest> digest;
    };
    void List();

    // The folder's entries, and their indexes by the keys of their names and short aliases; nothing
    // when the folder cannot be listed.
    std::vector<Listed> listing_;
    std::optional<std::unordered_map<std::u16string, size_t>> entries_;
    std::unordered_set<std::u16string> written_;
    std::unordered_map<std::u16string, std::u16string> keys_;  // name -> FileNameMangler::NameKey
    int32_t listings_ = 0;
    int32_t tests_ = 0;
};

}  // namespace addin
