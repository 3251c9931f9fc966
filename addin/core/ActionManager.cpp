#include "core/ActionManager.h"

#include <cstddef>
#include <exception>
#include <limits>
#include <vector>

#include "core/AttachmentFile.h"
#include "core/FileNameMangler.h"
#include "base/HostError.h"
#include "core/Platform.h"
#include "core/Preferences.h"
#include "core/host/Inspector.h"
#include "core/host/Item.h"
#include "base/Tolerate.h"

namespace {

// Answer of the shell when no program is associated with the file's type.
constexpr int32_t NoAssociation = 31;

// The procedure's counters are 16-bit, as the dialog's ordinal and count are.
void Increment(int16_t& counter) {
    if (counter == std::numeric_limits<int16_t>::max()) throw HostError(HostStatus::Overflow, u"Overflow");
    ++counter;
}

}  // namespace

ActionManager::ActionManager(Platform& platform) : platform_(platform) {}

void ActionManager::Action(const std::shared_ptr<host::Inspector>& ins) { SaveAttachments(ins); }

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

bool ActionManager::IsSaveableAttachment(host::Attachment& attachment) {
    return attachment.Type() == host::AttachmentType::ByValue;
}

bool ActionManager::HasSaveableAttachments(const std::shared_ptr<host::Item>& item) noexcept {
    // The whole test is suppressed: an item without a readable collection has none.
    try {
        if (!item) return false;
        const auto attachments = Require(item->Attachments());
        const int32_t count = attachments->Count();
        for (int32_t i = 1; i <= count; ++i)
            if (IsSaveableAttachment(*Require(attachments->Item(i)))) return true;
    } catch (const std::exception&) {
    }
    return false;
}

bool ActionManager::IsSentOrNonMailItem(const std::shared_ptr<host::Item>& item) {
    if (!item || item->TypeName() != u"MailItem") return true;
    return item->Sent();
}

bool ActionManager::HasShortcutAttachments(const std::shared_ptr<host::Item>& item) noexcept {
    bool found = false;
    try {
        if (!item) return false;
        const auto attachments = Require(item->Attachments());
        const int32_t count = attachments->Count();
        // The walk goes through every attachment, matching or not.
        for (int32_t i = 1; i <= count; ++i)
            if (Require(attachments->Item(i))->Type() == host::AttachmentType::ByReference) found = true;
    } catch (const std::exception&) {
        // A shortcut already seen stays seen: the warning must not be lost to a later failure.
    }
    return found;
}

void ActionManager::SaveAttachments(const std::shared_ptr<host::Inspector>& ins) {
    if (stopRequested_) return;
    const std::shared_ptr<host::Item> item = Require(Require(ins)->CurrentItem());
    const std::shared_ptr<host::Attachments> attachments = Require(item->Attachments());

    const bool wasUnsaved = !item->Saved();
    if (wasUnsaved) {
        const int32_t answer = platform_.ShowMessageBox(
            u"An attachment may be currently open in another program. We recommend that you exit this program\r\n"
            u"before you continue. Otherwise the changes you have done may be lost. Do you want to continue?",
            u"Save Attachments", MessageBoxFlags::YesNo);
        if (answer != MessageBoxResult::Yes) return;
    }

    int16_t saveableCount = 0;
    for (int32_t i = 1, count = attachments->Count(); i <= count; ++i)
        if (IsSaveableAttachment(*Require(attachments->Item(i)))) Increment(saveableCount);

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
    const int32_t count = attachments->Count();
    for (int32_t i = 1; i <= count && !stopRequested_; ++i) {
        walked = i;
        const std::shared_ptr<host::Attachment> attachment = Require(attachments->Item(i));
        bool written = false;
        displayNames.push_back(attachment->DisplayName());
        if (IsSaveableAttachment(*attachment)) {
            Increment(ordinal);
            // Reset for every attachment: a choice made in one dialog applies to that one only.
            bool replace = Preferences::ReplaceWithLinks();
            bool open = false;
            const std::u16string fileName = attachment->FileName();
            if (!fileDialogManager_) fileDialogManager_ = platform_.CreateSaveAsPrompt();
            // Ours until the dialog returns, whatever happens to the action manager meanwhile.
            const std::shared_ptr<SaveAsPrompt> dialog = Require(fileDialogManager_);
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

    if (walked < count) TellNotSaved(*attachments, walked + 1, count);

    // Shortcuts first, originals after: a failure half-way leaves a duplicate, never a loss. The
    // shortcuts are appended after the originals, so the originals' indices do not move.
    for (std::size_t n = 0; n < replaceFlags.size(); ++n) {
        if (!replaceFlags[n]) continue;
        const auto shortcut = Require(attachments->Add(savedPaths[n], host::AttachmentType::ByReference));
        shortcut->SetDisplayName(displayNames[n]);
    }
    // Downwards, so the lower indices stay valid while attachments go.
    for (std::size_t n = replaceFlags.size(); n > 0; --n)
        if (replaceFlags[n - 1]) Require(attachments->Item(static_cast<int32_t>(n)))->Delete();

    // An item that had unsaved changes before is left for the user to save.
    if (!item->Saved() && !wasUnsaved) item->Save();
}

void ActionManager::TellNotSaved(host::Attachments& attachments, int32_t first, int32_t last) noexcept {
    base::TolerateAll([&] {
        std::u16string names;
        for (int32_t i = first; i <= last; ++i) {
            // The host is going away: a name it cannot give is left out, the rest still told.
            base::Tolerate([&] {
                const auto attachment = Require(attachments.Item(i));
                if (IsSaveableAttachment(*attachment)) names += u"\r\n" + attachment->FileName();
            });
        }
        if (names.empty()) return;
        platform_.ShowMessageBox(u"Outlook is closing, or the add-in is being turned off, so saving stopped. "
                                 u"These attachments were not saved:\r\n" + names,
                                 u"Save Attachments", MessageBoxFlags::Ok);
    });
}

bool ActionManager::WriteAttachment(host::Attachment& attachment, const std::u16string& path) noexcept {
    const bool written = AttachmentFile::Write(attachment, path, platform_);
    if (!written) {
        try {
            platform_.ShowMessageBox(
                u"Cannot save to file " + path + u".\r\n\r\nThe file might be in use by another program.",
                u"Error saving attachment", MessageBoxFlags::Ok);
        } catch (const std::exception&) {
        }
    }
    return written;
}

void ActionManager::OpenSavedFile(const std::u16string& path) noexcept {
    try {
        if (platform_.OpenWithShell(path) == NoAssociation)
            platform_.StartProcess(u"rundll32.exe shell32.dll,OpenAs_RunDLL " + path);
    } catch (const std::exception&) {
    }
}
