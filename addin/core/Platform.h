#pragma once
// The services of the operating system the core uses, as one interface handed in at construction.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/core/host/DateTime.h"
#include "base/Sha256.h"
#include "addin/core/host/Picture.h"

namespace addin {

class FileNameMangler;

/// Button sets and flags of a modal message box, and its answers.
namespace MessageBoxFlags {
inline constexpr int32_t Ok = 0;
inline constexpr int32_t OkCancel = 1;
inline constexpr int32_t YesNo = 4;
inline constexpr int32_t SetForeground = 0x10000;
}  // namespace MessageBoxFlags
namespace MessageBoxResult {
inline constexpr int32_t Ok = 1;
inline constexpr int32_t Cancel = 2;
inline constexpr int32_t Yes = 6;
inline constexpr int32_t No = 7;
}  // namespace MessageBoxResult

/// The Save As dialog with the attachment options, for one attachment at a time. It remembers the
/// folder last confirmed for as long as it lives.
class SaveAsPrompt {
public:
    virtual ~SaveAsPrompt() = default;
    /// Shows the dialog for `fileName` (attachment `ordinal` of `saveableCount`), offering the
    /// names `mangler` suggests. Returns the full path the user confirmed, or empty when cancelled;
    /// writes back the final states of "Replace with shortcut" and "Open after saving".
    virtual std::u16string GetSaveAsPath(const std::u16string& fileName, FileNameMangler& mangler, int16_t ordinal,
                                         int16_t saveableCount, bool& replaceWithLink, bool& openAfterSaving) = 0;
    /// Whether the dialogs from now on offer "Replace with shortcut" (they do until told otherwise);
    /// one that does not shows the box unticked and disabled, and writes back false.
    virtual void SetReplaceOffered(bool offered) = 0;
    /// The folder the next dialog starts in: the one last confirmed, or given by RememberFolder;
    /// empty before either.
    virtual std::u16string LastFolder() const = 0;
    /// Makes `folder` the one the next dialog starts in (a folder chosen for all attachments at once).
    virtual void RememberFolder(const std::u16string& folder) = 0;
};

/// What the user chose in the folder dialog of "Save All Attachments".
struct FolderChoice {
    /// The folder, as the system's dialog returned it.
    std::u16string folder;
    bool replaceWithLinks = false;
    bool openFolder = false;
};

/// The system's dialog for choosing a folder, for all attachments of an item at once.
class FolderPrompt {
public:
    virtual ~FolderPrompt() = default;
    /// Shows the modal dialog titled `title`, starting in `startFolder` (empty: the system's
    /// choice). Where the dialog can carry check boxes it offers "Replace with shortcuts", ticked as
    /// `replaceWithLinks` says and disabled when not `replaceOffered`, and "Open the folder after
    /// saving"; where it cannot, `replaceWithLinks` (when offered) decides and the folder is not
    /// opened. Nothing when the user cancelled.
    virtual std::optional<FolderChoice> PickFolder(const std::u16string& title, const std::u16string& startFolder,
                                                   bool replaceWithLinks, bool replaceOffered) = 0;
};

/// The system's progress window for a long run, with Cancel. Closed when released.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    /// Shows `done` of `total` and the line naming the step at hand.
    virtual void Update(uint32_t done, uint32_t total, const std::u16string& line) = 0;
    /// True once the user pressed Cancel.
    virtual bool Cancelled() = 0;
};

/// An entry of a folder, as one directory query gives it.
struct FolderEntry {
    std::u16string name;
    std::u16string alias;  // the short 8.3 alias; empty where it has none
    /// The file's size in bytes; nothing for a folder.
    std::optional<uint64_t> size;
};

/// Operating-system services. Every call may throw HostError.
class Platform {
public:
    virtual ~Platform() = default;

    /// Shows a modal message box; returns the answer (MessageBoxResult).
    virtual int32_t ShowMessageBox(const std::u16string& text, const std::u16string& title, int32_t flags) = 0;
    /// Opens `path` with its associated program, owned by the desktop, in a normal window. Returns
    /// the platform's answer: above 32 on success, 31 when no program is associated.
    virtual int32_t OpenWithShell(const std::u16string& path) = 0;
    /// Starts `commandLine` as a new process with a normal, focused window.
    virtual void StartProcess(const std::u16string& commandLine) = 0;
    /// The platform's answer to whether `path` exists: exactly 1 means it does.
    virtual int32_t FileExists(const std::u16string& path) = 0;
    /// One directory query for `folder` + "\\" + `prefix` + "*": the name of every entry (file or
    /// folder) whose name or short 8.3 alias starts with `prefix` as the file system compares
    /// names, and, when `withAliases`, each such entry's alias where it has one. An empty list when
    /// nothing matches or the folder does not exist; nothing when the folder cannot be listed (no
    /// right to list it, a path the query refuses), where only an existence test can tell.
    virtual std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder,
                                                                  const std::u16string& prefix, bool withAliases) = 0;
    /// One directory query for every entry of `folder`, with its alias and size (ListFolder's
    /// answer otherwise): an empty list when the folder is empty or does not exist, nothing when
    /// it cannot be listed.
    virtual std::optional<std::vector<FolderEntry>> ListFolderEntries(const std::u16string& folder) = 0;
    /// The size in bytes of the file at `path`; nothing when there is no such file.
    virtual std::optional<uint64_t> FileSize(const std::u16string& path) = 0;
    /// True when the files at `a` and `b` hold the same bytes, read in chunks. Throws HostError
    /// when either cannot be read.
    virtual bool FilesEqual(const std::u16string& a, const std::u16string& b) = 0;
    /// The SHA-256 of the bytes of the file at `path`, read in chunks. Throws HostError when it
    /// cannot be read.
    virtual base::Sha256Digest FileSha256(const std::u16string& path) = 0;
    /// True when `folder` is on a network share, where every file-system call is a round trip to
    /// another computer; false on a local disk, and when the system cannot tell.
    virtual bool IsOnNetwork(const std::u16string& folder) = 0;
    /// `name` with every letter in upper case as the file system does it when it compares names:
    /// letter by letter, the same in every locale.
    virtual std::u16string FileSystemUpperCase(const std::u16string& name) = 0;
    /// Marks the file written at `path` as come from another computer, as the system marks
    /// downloads and mail attachments, so that it warns before the file is run. Best effort: false
    /// when the file system cannot carry the mark; never throws.
    virtual bool MarkAsFromInternet(const std::u16string& path) noexcept = 0;

    /// Where a file meant for `target` is written first, to be put in `target`'s place once it is
    /// complete (PutInPlace): a path in `target`'s folder whose name is the add-in's own (never
    /// `target`'s, never that of an entry that exists), free at the moment of the call and proven
    /// to take a new file there. Nothing when the folder takes new files but lets none be renamed
    /// (a drop box): `target` is then a new, empty file made for the caller to write in place, and
    /// removed on failure. Throws HostError when no file can be written there (the folder is gone,
    /// the disk refuses, or only an existing `target` could be written over).
    virtual std::optional<std::u16string> TemporaryPathFor(const std::u16string& target) = 0;
    /// Puts the complete file at `file` in `target`'s place in one step, its content on the disk
    /// first: over an existing `target`, whose attributes and security it keeps, or as a new file.
    /// Throws HostError when it cannot; `target` is then as it was, and `file` still there.
    virtual void PutInPlace(const std::u16string& file, const std::u16string& target) = 0;
    /// Gives the complete file at `file` the name `target` in one step, its content on the disk
    /// first, only while no entry of that name exists: the file system itself refuses the name
    /// when one does, so a file that appeared since the folder was last looked at is never
    /// written over. False when an entry has the name (`file` is then still there); throws
    /// HostError when the file cannot be moved for any other reason.
    virtual bool PlaceAsNewFile(const std::u16string& file, const std::u16string& target) = 0;
    /// Removes the file at `path`, also a read-only one. False when a file is still there; never
    /// throws.
    virtual bool RemoveFile(const std::u16string& path) noexcept = 0;

    /// The per-user setting `key` in `section` of `appName`, or `defaultValue` when absent.
    virtual std::u16string GetSetting(const std::u16string& appName, const std::u16string& section,
                                      const std::u16string& key, const std::u16string& defaultValue) = 0;
    /// Writes a per-user setting, creating what does not exist.
    virtual void SaveSetting(const std::u16string& appName, const std::u16string& section, const std::u16string& key,
                             const std::u16string& value) = 0;

    /// Formats `value` with a pattern such as "d-mmm-yyyy", month names from the user's locale.
    virtual std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) = 0;
    /// Loads the add-in's bitmap resource `resourceId` as a picture object.
    virtual std::shared_ptr<host::Picture> LoadPicture(int16_t resourceId) = 0;
    /// Creates a Save As dialog manager.
    virtual std::shared_ptr<SaveAsPrompt> CreateSaveAsPrompt() = 0;
    /// Creates the folder dialog.
    virtual std::shared_ptr<FolderPrompt> CreateFolderPrompt() = 0;
    /// Shows a progress window titled `title`; it stays up until the object is released.
    virtual std::shared_ptr<ProgressWindow> ShowProgress(const std::u16string& title) = 0;
    /// A monotonic clock in milliseconds, for how long a step has taken; never throws.
    virtual int64_t Milliseconds() noexcept = 0;

    /// Which registry hive a policy value is read from.
    enum class PolicyHive { Machine, User };
    /// What one registry value holds: nothing, a REG_DWORD, or a value of another type.
    struct PolicyValue {
        enum class Kind { Absent, Dword, OtherType };
        Kind kind = Kind::Absent;
        uint32_t number = 0;
    };
    /// The value `name` of `key` under HKLM or HKCU, in the host process's own registry view, as
    /// administrators' policies are read. Absent when the key or the value is not there; throws
    /// HostError when the key cannot be read.
    virtual PolicyValue ReadPolicyValue(PolicyHive hive, const std::u16string& key, const std::u16string& name) = 0;
};

}  // namespace addin
