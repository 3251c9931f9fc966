#pragma once
// Alternative, collision-free file names for the Save As dialog's file-name drop-down.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace host {
class Item;
}

namespace addin {

class Platform;

/// How the suggestions learn which names are taken in the folder.
enum class FolderLookup {
    /// One directory query for the names that begin as every candidate does, compared in memory:
    /// the same list as Probing from one round trip to the folder instead of up to 404. On a local
    /// disk names are tested first, as Probing does, until one is taken; existence tests also
    /// where the folder cannot be listed.
    Listing,
    /// One existence test per name tried, each a round trip to the folder.
    Probing,
};

/// Suggests file names that do not collide with files in a folder: a numbered variant of the name
/// and, for mail messages on hosts of major version 11 or later, variants carrying the sender's name
/// and the date the message was sent. One per Save Attachments command; keeps nothing of a folder's
/// contents between calls, only whether the last folder is on a share.
class FileNameMangler {
public:
    /// `platform` answers the existence tests and formats the date; it must outlive the mangler.
    /// `hostMajorVersion` is the host's (-1: unknown), which decides whether the sender's variants come.
    FileNameMangler(Platform& platform, int16_t hostMajorVersion);
    FileNameMangler(const FileNameMangler&) = delete;
    FileNameMangler& operator=(const FileNameMangler&) = delete;

    /// The item whose attachments are being saved; empty when none is set.
    const std::shared_ptr<host::Item>& mItem() const noexcept { return item_; }
    /// Holds a reference to `item` (may be empty) in place of the previous one.
    void mItem(std::shared_ptr<host::Item> item) noexcept {
        item_ = std::move(item);
        sender_.reset();
    }

    /// The suggested bare file names for `fileName` in `folder` (no trailing backslash except for a
    /// drive root), in the order: numbered name; then, for a mail item on a version 11+ host, name
    /// with sender, with sender and date, with date. Every name is safe (PathNames::SafeFileName: no
    /// folder part, no forbidden or hidden character, no trailing dot or space, no device name) and
    /// shortened to fit into the folder, extension and number kept. A name that leaves no stem
    /// before its extension (".htaccess") is a stem as a whole; one that leaves nothing at all
    /// (empty, dots only) takes the stem "attachment". Candidates for which every
    /// number is taken are left out, so the list may be empty; so are the date's when the date
    /// cannot be read or formatted, and the sender's when the host refuses the sender's name (read
    /// once per item). Any other failing host or platform call is thrown as HostError and no list
    /// is returned.
    std::vector<std::u16string> GetFileNameMangling(const std::u16string& fileName, const std::u16string& folder,
                                                    FolderLookup lookup = FolderLookup::Listing);
    /// The same list, with `taken` answering which names are taken: for a caller that already
    /// knows the folder's names (FolderNames), so the folder is not asked here at all.
    std::vector<std::u16string> GetFileNameMangling(const std::u16string& fileName, const std::u16string& folder,
                                                    const std::function<bool(const std::u16string&)>& taken);

    /// The first name of that list (GetFileNameMangling with `taken`), empty when the list is empty;
    /// the sender's and date's names are formed only when every numbered name is taken.
    std::u16string FirstFreeName(const std::u16string& fileName, const std::u16string& folder,
                                 const std::function<bool(const std::u16string&)>& taken);

    /// The form under which the file system looks `name` up, for comparing names in memory: no
    /// trailing dots and spaces ("README." is "README"), upper case as the file system does it.
    static std::u16string NameKey(Platform& platform, const std::u16string& name);

private:
    // One candidate's names in the order they are tried: the plain name (empty when there is
    // none), then the numbered ones; each formed when first asked for.
    class Candidate {
    public:
        Candidate(std::u16string baseName, std::u16string decoration, std::u16string extension, std::size_t room,
                  bool forceNumber);
        const std::u16string& Name(int number);
        const bool forceNumber;

    private:
        std::u16string baseName_, decoration_, extension_;
        std::size_t room_;
        std::vector<std::u16string> names_;
    };
    using Taken = std::function<bool(const std::u16string&)>;

    static std::u16string StripMailDomain(const std::u16string& name);
    /// The sender's name as it may stand in a file name; nothing when the host refused it.
    std::optional<std::u16string> Sender();
    std::optional<std::u16string> SentDate();
    static std::u16string OfferedName(const std::u16string& stem, const std::u16string& decoration,
                                      const std::u16string& number, const std::u16string& extension, std::size_t room);
    static std::u16string GetUniqueFileName(Candidate& candidate, const Taken& taken);
    /// The candidates in the order of the list; without `decorated`, only the numbered one.
    std::vector<Candidate> Candidates(const std::u16string& fileName, const std::u16string& folder,
                                      bool decorated = true);
    static std::vector<std::u16string> UniqueNames(std::vector<Candidate>& candidates, const Taken& taken);
    std::optional<Taken> ListedNames(std::vector<Candidate>& candidates, const std::u16string& folder);
    bool OnNetwork(const std::u16string& folder);
    bool FileExistsInFolder(const std::u16string& fileName, const std::u16string& folder);

    Platform& platform_;
    int16_t hostMajorVersion_;
    std::shared_ptr<host::Item> item_;
    std::optional<std::pair<std::u16string, bool>> networkFolder_;  // the last folder asked about
    // The sender's name once read for the item (empty inside: the host refused it).
    std::optional<std::optional<std::u16string>> sender_;
};

}  // namespace addin
