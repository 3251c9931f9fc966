#pragma once
// What the add-in's one command is, when it applies, and the check made when a message is sent.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "addin/core/PictureIds.h"

namespace host {
class Attachment;
class AttachmentSelection;
class Attachments;
class Inspector;
class Item;
class Selection;
}  // namespace host

namespace addin {

class FileNameMangler;
class FolderNames;
class FolderPrompt;
class Platform;
class ProgressWindow;
class SaveAsPrompt;

/// The add-in's command: its caption, tag and images, its enablement, the command itself, and the
/// send-time check for shortcuts. One per connection.
class ActionManager {
public:
    explicit ActionManager(Platform& platform);
    ActionManager(const ActionManager&) = delete;
    ActionManager& operator=(const ActionManager&) = delete;

    /// Saves the by-value attachments of the inspector's current item that the host's own list
    /// shows (not the inline pictures of an HTML body), each to the path the user picks, optionally
    /// opening the file and replacing the attachment by a shortcut to it where the host keeps one. Any
    /// failure the procedure does not handle itself is thrown; what was done before it stays done.
    /// The caller keeps the action manager alive until it returns.
    void Action(const std::shared_ptr<host::Inspector>& ins);
    /// "Save All Attachments": the same attachments, all into one folder the user picks once, each
    /// under the name the Save As dialog would start with or, where that is taken in the folder or
    /// by an attachment written before in the run, the first free name its drop-down would offer;
    /// never over an existing file. A failed attachment does not stop the others; a long run shows
    /// a progress window whose Cancel stops after the attachment at hand. Then the shortcuts, as
    /// Action makes them, each item's on its own (a failure leaves that item unsaved and named),
    /// one summary, and the folder opened if the user asked. The caller keeps the action manager
    /// alive until it returns.
    void SaveAll(const std::shared_ptr<host::Inspector>& ins);

    /// What a command run from the main window acts on: the attachments of `item` the host's list
    /// shows, or of those only the ones at `only` (1-based indices, as the reading pane selected them).
    struct Target {
        std::shared_ptr<host::Item> item;
        std::vector<int32_t> only;
    };
    /// The items selected in the main window, each with all its attachments; items of no kind
    /// that has attachments are left out. A failure to read the selection is thrown.
    static std::vector<Target> TargetsOf(host::Selection& selection);
    /// The attachments selected in a reading pane, grouped by their item in the order selected.
    static std::vector<Target> TargetsOf(host::AttachmentSelection& selection);
    /// The commands on what the main window selected. Items that the item windows' rule would not
    /// enable (IsEnabled) are skipped. One target and `saveAll` false: the single command on it, as
    /// Action, for the targeted attachments. Otherwise "Save All Attachments" over every target:
    /// one folder, names unique across the items, one summary naming each item. The selection is
    /// walked once; an item that cannot be read is skipped and named. When nothing is left to save
    /// the user is told so. The caller keeps the action manager alive until it returns.
    void SaveSelected(const std::vector<Target>& targets, bool saveAll);
    /// The main window's rule for its buttons, asked at every change of the selection: true while
    /// one of the first kSelectionChecked selected items is enabled (IsEnabled), and while more
    /// are selected than that, whatever they hold (the click then checks them all). So a change
    /// costs the host at most kSelectionChecked items' attachments, at any size of selection.
    bool IsSelectionEnabled(host::Selection& selection);
    static constexpr int32_t kSelectionChecked = 8;
    /// The host is shutting down, or the add-in is being unloaded, while a command may be running
    /// inside one of its modal windows: the command stops after the attachment at hand, finishes
    /// what it did for the attachments before (their shortcuts, the item's save) and tells the user,
    /// once, which attachments were not saved. Later commands do nothing.
    void StopCommand() noexcept { stopRequested_ = true; }
    /// True when the item has a by-value attachment the host's list shows and is not an unsent mail
    /// message. A failure to
    /// read a mail message's Sent is thrown.
    bool IsEnabled(const std::shared_ptr<host::Item>& item);
    /// Sets `cancel` to false, then, when the item carries shortcuts, asks the user whether to send
    /// it anyway; any answer but OK sets `cancel` to true.
    void CheckItemSend(const std::shared_ptr<host::Item>& item, bool& cancel);

    /// The host's major version, for the names suggested in the Save As dialog (-1 until set).
    void SetHostMajorVersion(int16_t major) noexcept { hostMajorVersion_ = major; }

    int16_t GetImageResourceId() const { return IDB_BUTTON_PICTURE; }
    int16_t GetImageMaskResourceId() const { return IDB_BUTTON_MASK; }
    /// The ribbon button's picture: the toolbar's drawing at 32 by 32, a 32-bit bitmap whose alpha
    /// channel makes it transparent (a ribbon takes one picture, no mask).
    int16_t GetLargeImageResourceId() const { return IDB_RIBBON_PICTURE; }
    std::u16string GetCaption() const { return u"Save Attachments"; }
    /// The tag of the add-in's buttons: fixed, lower-case 8-4-4-4-12 hexadecimal.
    std::u16string GetTag() const { return u"10624a9e-43e2-4463-bb73-fea2416b296a"; }
    /// The second command's caption and tag (its own, in the same form).
    std::u16string GetSaveAllCaption() const { return u"Save All Attachments"; }
    std::u16string GetSaveAllTag() const { return u"5d1f0c3e-8a27-4b6e-9f04-71c2e8a9b356"; }

    /// How long a run may take before it shows its progress window, in milliseconds.
    static constexpr int64_t kMoment = 500;

private:
    class Shown;

    /// A shortcut: by reference, or added in this session and not yet saved (the host then reports
    /// OLE for it) with the path of a linked file.
    static bool IsShortcut(host::Attachment& attachment);
    bool HasSaveableAttachments(const std::shared_ptr<host::Item>& item, const std::vector<int32_t>& only = {}) noexcept;
    /// Whether the attachment at `index` is one of `only` (every one, when `only` is empty).
    static bool Targeted(const std::vector<int32_t>& only, int32_t index);
    static bool IsSentOrNonMailItem(const std::shared_ptr<host::Item>& item);
    static bool HasShortcutAttachments(const std::shared_ptr<host::Item>& item) noexcept;
    /// The single command on `item`'s shown attachments, or of those the ones at `only`.
    void SaveAttachments(const std::shared_ptr<host::Item>& item, const std::vector<int32_t>& only);
    /// Items named with why they could not be read or saved: the item's name, the reason.
    using ItemFailures = std::vector<std::pair<std::u16string, std::u16string>>;
    /// Tells the user that the selection holds nothing to save, naming the items `skipped`.
    void TellNothingToSave(bool saveAll, const ItemFailures& skipped) noexcept;
    /// One item's part of a save-all run, and the targets walked once.
    struct Part;
    struct Walked;
    /// Walks `targets` once: each item's saveable attachments and whether it has unsaved changes.
    /// From the main window (`fromSelection`) items the item windows' rule would not enable are left
    /// out, and an item that cannot be read is skipped and named; otherwise its failure is thrown.
    /// A long walk shows the progress window, whose Cancel ends it.
    Walked WalkTargets(const std::vector<Target>& targets, bool fromSelection);
    /// "Save All Attachments" over what the walk found.
    void SaveAllOf(Walked& walked);
    /// An attachment saved to a file that is to become a shortcut to it: its index in the item
    /// (1-based, as walked), the file and its display name.
    struct Replacement {
        int32_t index;
        std::u16string path;
        std::u16string displayName;
    };
    /// Replaces the attachments of `replacements` (in ascending index order) by shortcuts to their
    /// files where the host makes links: every shortcut added first, then the originals removed
    /// from the highest index down, so a failure half-way leaves a duplicate, never a loss; the user
    /// is told once of those kept. Then the item is saved unless it had unsaved changes before the
    /// command (`wasUnsaved`). Returns how many were replaced. Both commands end this way. With
    /// `kept`, the names of those kept are added to it instead, for one message over several items.
    int32_t ReplaceAndSave(host::Item& item, host::Attachments& attachments,
                           const std::vector<Replacement>& replacements, bool wasUnsaved,
                           std::u16string* kept = nullptr);
    /// For an item with unsaved changes: asks whether to go on, naming `items` (those it means, in a
    /// run over several). True to go on.
    bool ContinueWithUnsavedItem(const std::u16string& title, const std::vector<std::u16string>& items = {});
    /// The save-all run's summary, in one message box.
    struct SaveAllReport;
    void TellSaveAllSummary(const SaveAllReport& report) noexcept;
    bool WriteAttachment(host::Attachment& attachment, const std::u16string& path);
    /// Adds a shortcut to `path` named `displayName`; true when the host made a link to that very
    /// file. Whatever else it made is removed again, and from then on the host is known to refuse
    /// (Preferences::ShortcutsRefused). From version 12 a failing Add is such a refusal.
    bool AddShortcut(host::Attachments& attachments, const std::u16string& path, const std::u16string& displayName);
    /// One message naming the attachments kept because the host made no shortcut for them.
    void TellShortcutsRefused(const std::u16string& names) noexcept;
    /// One message naming the saveable attachments `first` to `last` (1-based), left unsaved by a stop.
    void TellNotSaved(host::Attachments& attachments, const std::vector<bool>& saveable, int32_t first,
                      int32_t last) noexcept;
    void OpenSavedFile(const std::u16string& path) noexcept;

    Platform& platform_;
    // The Save As dialog, created at the first attachment that needs it and kept, so that the
    // folder last chosen carries over to the next attachment and the next run.
    std::shared_ptr<SaveAsPrompt> fileDialogManager_;
    std::shared_ptr<FolderPrompt> folderPrompt_;
    // The folder "Save All Attachments" last wrote into, where no Save As dialog exists to keep it.
    std::u16string lastFolder_;
    bool stopRequested_ = false;
    int16_t hostMajorVersion_ = -1;
};

}  // namespace addin
