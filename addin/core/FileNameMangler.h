#pragma once
// Alternative, collision-free file names for the Save As dialog's file-name drop-down.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Platform;

namespace host {
class Item;
}

/// Suggests file names that do not collide with files in a folder: a numbered variant of the name
/// and, for mail messages on hosts of major version 11 or later, variants carrying the sender's name
/// and the date the message was sent. One per Save Attachments command; keeps nothing between calls.
class FileNameMangler {
public:
    /// `platform` answers the existence tests and formats the date; it must outlive the mangler.
    explicit FileNameMangler(Platform& platform);
    FileNameMangler(const FileNameMangler&) = delete;
    FileNameMangler& operator=(const FileNameMangler&) = delete;

    /// The item whose attachments are being saved; empty when none is set.
    const std::shared_ptr<host::Item>& mItem() const noexcept { return item_; }
    /// Holds a reference to `item` (may be empty) in place of the previous one.
    void mItem(std::shared_ptr<host::Item> item) noexcept { item_ = std::move(item); }

    /// The suggested bare file names for `fileName` in `folder` (no trailing backslash except for a
    /// drive root), in the order: numbered name; then, for a mail item on a version 11+ host, name
    /// with sender, with sender and date, with date. Every name is safe (modPath::SafeFileName: no
    /// folder part, no forbidden or hidden character, no trailing dot or space, no device name) and
    /// shortened to fit into the folder, extension and number kept. Candidates for which every
    /// number is taken are left out, so the list may be empty; so are the date's when the date
    /// cannot be read or formatted. Any other failing host or platform call is thrown as HostError
    /// and no list is returned.
    std::vector<std::u16string> GetFileNameMangling(const std::u16string& fileName, const std::u16string& folder);

private:
    static std::u16string StripMailDomain(const std::u16string& name);
    std::optional<std::u16string> SentDate();
    static std::u16string OfferedName(const std::u16string& stem, const std::u16string& decoration,
                                      const std::u16string& number, const std::u16string& extension, std::size_t room);
    std::u16string GetUniqueFileName(const std::u16string& baseName, const std::u16string& decoration,
                                     const std::u16string& extension, const std::u16string& folder, bool forceNumber);
    void AddCandidate(std::vector<std::u16string>& names, const std::u16string& baseName,
                      const std::u16string& decoration, const std::u16string& extension, const std::u16string& folder,
                      bool forceNumber);
    bool FileExistsInFolder(const std::u16string& fileName, const std::u16string& folder);

    Platform& platform_;
    std::shared_ptr<host::Item> item_;
};
