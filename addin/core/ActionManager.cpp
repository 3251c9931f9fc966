#include "addin/core/ActionManager.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "addin/core/ActionManagerShown.h"
#include "addin/core/AttachmentFile.h"
#include "addin/core/FileNameMangler.h"
#include "addin/core/FolderNames.h"
#include "addin/core/PathNames.h"
#include "addin/core/Platform.h"
#include "addin/core/Policies.h"
#include "addin/core/Preferences.h"
#include "addin/core/host/Explorer.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

namespace {

// Answer of the shell when no program is associated with the file's type.
constexpr int32_t NoAssociation = 31;

// The procedure's counters are 16-bit, as the dialog's ordinal and count are.
void Increment(int16_t& counter) {
    if (counter == std::numeric_limits<int16_t>::max()) throw HostError(HostStatus::Overflow, u"Overflow");
    ++counter;
}

}  // namespace

bool ActionManager::Targeted(const std::vector<int32_t>& only, int32_t index) {
    return only.empty() || std::find(only.begin(), only.end(), index) != only.end();
}

ActionManager::ActionManager(Platform& platform) : platform_(platform) {}

void ActionManager::Action(const std::shared_ptr<host::Inspector>& ins) {
    if (stopRequested_) return;
    SaveAttachments(Require(Require(ins)->CurrentItem()), {});
}

std::vector<ActionManager::Target> ActionManager::TargetsOf(host::Selection& selection) {
    std::vector<Target> targets;
    for (int32_t i = 1, count = selection.Count(); i <= count; ++i)
        if (auto item = selection.Item(i)) targets.push_back({std::move(item), {}});
    return targets;
}

std::vector<ActionManager::Target> ActionManager::TargetsOf(host::AttachmentSelection& selection) {
    std::vector<Target> targets;
    for (int32_t i = 1, count = selection.Count(); i <= count; ++i) {
        const auto attachment = Require(selection.Item(i));
        auto item = Require(attachment->Parent());
        const int32_t index = attachment->Index();
        const auto same = std::find_if(targets.begin(), targets.end(),
                                       [&](const Target& t) { return t.item->SameObject(*item); });
        if (same == targets.end())
            targets.push_back({std::move(item), {index}});
        else
            same->only.push_back(index);
    }
    return targets;
}

bool ActionManager::IsSelectionEnabled(host::Selection& selection) {
    const int32_t count = selection.Count();
    if (count > kSelectionChecked) return true;
    // An item the host cannot give counts as nothing to save; the others still decide.
    bool enabled = false;
    for (int32_t i = 1; i <= count && !enabled; ++i) base::Tolerate([&] { enabled = IsEnabled(selection.Item(i)); });
    return enabled;
}

bool ActionManager::IsShortcut(host::Attachment& attachment) {
    const int32_t type = attachment.Type();
    if (type == host::AttachmentType::ByReference) return true;
    // Added and not yet saved: the host reports OLE, and only a link has a path.
    if (type != host::AttachmentType::Ole) return false;
    std::u16string path;
    base::Tolerate([&] { path = attachment.PathName(); });
    return !path.empty();
}

bool ActionManager::IsEnabled(const std::shared_ptr<host::Item>& item) {
    // Both tests run, in this order, whatever the first one says.
    const bool saveable = HasSaveableAttachments(item);
    const bool sentOrNonMail = IsSentOrNonMailItem(item);
    return saveable && sentOrNonMail;
}

void ActionManager::CheckItemSend(const std::shared_ptr<host::Item>& item, bool& cancel) {
    cancel = false;
    if (!HasShortcutAttachments(item)) return;
    const int32_t answer = platform_.ShowMessageBox(
        u"Some of the attachments in this email are shortcuts.\r\n"
        u"They will be automatically removed if you send it.\r\n"
        u"Are you sure you want to send this email?",
        u"Send email", MessageBoxFlags::OkCancel | MessageBoxFlags::SetForeground);
    if (answer != MessageBoxResult::Ok) cancel = true;
}

bool ActionManager::HasSaveableAttachments(const std::shared_ptr<host::Item>& item,
                                           const std::vector<int32_t>& only) noexcept {
    // The whole test is suppressed: an item without a readable collection has none.
    if (!item) return false;
    bool found = false;
    base::TolerateAll([&] {
        Shown shown(*item, hostMajorVersion_);
        const auto attachments = Require(item->Attachments());
        const int32_t count = attachments->Count();
        for (int32_t i = 1; i <= count && !found; ++i)
            found = Targeted(only, i) && shown.Saveable(*Require(attachments->Item(i)));
    });
    return found;
}

bool ActionManager::IsSentOrNonMailItem(const std::shared_ptr<host::Item>& item) {
    if (!item || item->TypeName() != u"MailItem") return true;
    return item->Sent();
}

bool ActionManager::HasShortcutAttachments(const std::shared_ptr<host::Item>& item) noexcept {
    if (!item) return false;
    // A shortcut already seen stays seen: the warning must not be lost to a later failure.
    bool found = false;
    base::TolerateAll([&] {
        const auto attachments = Require(item->Attachments());
        const int32_t count = attachments->Count();
        // The walk goes through every attachment, matching or not.
        for (int32_t i = 1; i <= count; ++i)
            if (IsShortcut(*Require(attachments->Item(i)))) found = true;
    });
    return found;
}

void ActionManager::SaveAttachments(const std::shared_ptr<host::Item>& item, const std::vector<int32_t>& only) {
    const std::shared_ptr<host::Attachments> attachments = Require(item->Attachments());

    const bool wasUnsaved = !item->Saved();
    if (wasUnsaved && !ContinueWithUnsavedItem(u"Save Attachments")) return;

    Shown shown(*item, hostMajorVersion_);
    // One answer per attachment, so that the count and the walk agree.
    std::vector<bool> saveable;
    int16_t saveableCount = 0;
    for (int32_t i = 1, count = attachments->Count(); i <= count; ++i) {
        saveable.push_back(Targeted(only, i) && shown.Saveable(*Require(attachments->Item(i))));
        if (saveable.back()) Increment(saveableCount);
    }

    FileNameMangler mangler(platform_, hostMajorVersion_);
    mangler.mItem(item);

    // One entry per attachment walked, so that entry n belongs to the attachment at index n.
    std::vector<std::u16string> displayNames;
    std::vector<std::u16string> savedPaths;
    std::vector<bool> replaceFlags;
    int16_t ordinal = 0;
    // A stop requested while a dialog was up ends the walk after that dialog's attachment; the user
    // is told which of the rest were not saved.
    int32_t walked = 0;
    const int32_t count = static_cast<int32_t>(saveable.size());
    // Read once per command: an administrator's change applies from the next one.
    const Policies::Effective policies = Policies::Read(platform_);
    for (int32_t i = 1; i <= count && !stopRequested_; ++i) {
        walked = i;
        const std::shared_ptr<host::Attachment> attachment = Require(attachments->Item(i));
        bool written = false;
        displayNames.push_back(attachment->DisplayName());
        if (saveable[static_cast<std::size_t>(i - 1)]) {
            Increment(ordinal);
            // Reset for every attachment: a choice made in one dialog applies to that one only.
            bool replace = policies.StartsTicked(Preferences::ReplaceWithLinks()) && !Preferences::ShortcutsRefused();
            bool open = false;
            const std::u16string fileName = attachment->FileName();
            if (!fileDialogManager_) {
                fileDialogManager_ = platform_.CreateSaveAsPrompt();
                // The folder a save-all run chose is where the first Save As dialog starts.
                if (fileDialogManager_ && !lastFolder_.empty()) fileDialogManager_->RememberFolder(lastFolder_);
            }
            // Ours until the dialog returns, whatever happens to the action manager meanwhile.
            const std::shared_ptr<SaveAsPrompt> dialog = Require(fileDialogManager_);
            dialog->SetReplaceOffered(policies.replaceAllowed && !Preferences::ShortcutsRefused());
            const std::u16string path = dialog->GetSaveAsPath(fileName, mangler, ordinal, saveableCount, replace, open);
            if (!path.empty() && WriteAttachment(*attachment, path)) {
                savedPaths.push_back(path);
                replaceFlags.push_back(replace);
                written = true;
                if (open) OpenSavedFile(path);
            }
        }
        if (!written) {
            savedPaths.emplace_back();
            replaceFlags.push_back(false);
        }
    }

    if (walked < count) TellNotSaved(*attachments, saveable, walked + 1, count);

    std::vector<Replacement> replacements;
    for (std::size_t n = 0; n < replaceFlags.size(); ++n)
        if (replaceFlags[n]) replacements.push_back({static_cast<int32_t>(n + 1), savedPaths[n], displayNames[n]});
    (void)ReplaceAndSave(*item, *attachments, replacements, wasUnsaved);
}

bool ActionManager::ContinueWithUnsavedItem(const std::u16string& title, const std::vector<std::u16string>& items) {
    std::u16string text =
        u"An attachment may be currently open in another program. We recommend that you exit this program\r\n"
        u"before you continue. Otherwise the changes you have done may be lost. Do you want to continue?";
    if (!items.empty()) text += u"\r\n\r\nItems with unsaved changes:";
    for (const std::u16string& item : items) text += u"\r\n" + item;
    const int32_t answer = platform_.ShowMessageBox(text, title, MessageBoxFlags::YesNo);
    return answer == MessageBoxResult::Yes;
}

int32_t ActionManager::ReplaceAndSave(host::Item& item, host::Attachments& attachments,
                                      const std::vector<Replacement>& replacements, bool wasUnsaved,
                                      std::u16string* keptOut) {
    // Shortcuts first, originals after: a failure half-way leaves a duplicate, never a loss. The
    // shortcuts are appended after the originals, so the originals' indices do not move. An
    // original goes only where the host has shown a link to the saved file.
    std::u16string kept;
    std::vector<int32_t> linked;
    for (const Replacement& r : replacements) {
        if (!Preferences::ShortcutsRefused() && AddShortcut(attachments, r.path, r.displayName)) {
            linked.push_back(r.index);
            continue;
        }
        kept += u"\r\n" + r.displayName;
    }
    // Downwards, so the lower indices stay valid while attachments go.
    for (auto n = linked.rbegin(); n != linked.rend(); ++n) Require(attachments.Item(*n))->Delete();
    if (keptOut)
        *keptOut += kept;
    else if (!kept.empty())
        TellShortcutsRefused(kept);

    // An item that had unsaved changes before is left for the user to save.
    if (!item.Saved() && !wasUnsaved) item.Save();
    return static_cast<int32_t>(linked.size());
}

bool ActionManager::AddShortcut(host::Attachments& attachments, const std::u16string& path,
                                const std::u16string& displayName) {
    std::shared_ptr<host::Attachment> added;
    if (hostMajorVersion_ < 12) {
        // Links are part of these hosts' model: a failure is a failure of the command.
        added = Require(attachments.Add(path, host::AttachmentType::ByReference));
    } else {
        // Links are no longer supported: a refusal is one of the host's answers.
        if (!base::Tolerate([&] { added = attachments.Add(path, host::AttachmentType::ByReference); }) || !added) {
            Preferences::SetShortcutsRefused(true);
            return false;
        }
    }
    std::u16string linked;
    base::Tolerate([&] { linked = added->PathName(); });
    if (!PathNames::SamePath(linked, path)) {
        // A copy, or something else: it goes again, the original stays.
        Preferences::SetShortcutsRefused(true);
        base::Tolerate([&] { added->Delete(); });
        return false;
    }
    added->SetDisplayName(displayName);
    return true;
}

void ActionManager::TellShortcutsRefused(const std::u16string& names) noexcept {
    base::TolerateAll([&] {
        platform_.ShowMessageBox(u"This version of Outlook does not keep shortcuts to files in its items. These "
                                 u"attachments were saved, and are still in the item:\r\n" + names,
                                 u"Save Attachments", MessageBoxFlags::Ok);
    });
}

void ActionManager::TellNotSaved(host::Attachments& attachments, const std::vector<bool>& saveable, int32_t first,
                                 int32_t last) noexcept {
    base::TolerateAll([&] {
        std::u16string names;
        for (int32_t i = first; i <= last; ++i) {
            if (!saveable[static_cast<std::size_t>(i - 1)]) continue;
            // The host is going away: a name it cannot give is left out, the rest still told.
            base::Tolerate([&] { names += u"\r\n" + Require(attachments.Item(i))->FileName(); });
        }
        if (names.empty()) return;
        platform_.ShowMessageBox(u"Outlook is closing, or the add-in is being turned off, so saving stopped. "
                                 u"These attachments were not saved:\r\n" + names,
                                 u"Save Attachments", MessageBoxFlags::Ok);
    });
}

bool ActionManager::WriteAttachment(host::Attachment& attachment, const std::u16string& path) {
    std::u16string reason;
    const bool written = AttachmentFile::Write(attachment, path, platform_, reason);
    if (!written) {
        base::Tolerate([&] {
            platform_.ShowMessageBox(u"Cannot save to file " + path +
                                         u".\r\n\r\nThe file might be in use by another program.\r\n\r\n(" +
                                         reason + u")",
                                     u"Error saving attachment", MessageBoxFlags::Ok);
        });
    }
    return written;
}

void ActionManager::OpenSavedFile(const std::u16string& path) noexcept {
    base::TolerateAll([&] {
        if (platform_.OpenWithShell(path) == NoAssociation)
            platform_.StartProcess(u"rundll32.exe shell32.dll,OpenAs_RunDLL " + path);
    });
}

}  // namespace addin
