#include "core/ActionManager.h"

#include <cstddef>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/AttachmentFile.h"
#include "core/FileNameMangler.h"
#include "core/FolderNames.h"
#include "base/HostError.h"
#include "core/PathNames.h"
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

// The MAPI properties the host's own attachment list goes by (version 12 on, PropertyAccessor).
constexpr char16_t kHidden[] = u"http://schemas.microsoft.com/mapi/proptag/0x7FFE000B";     // PR_ATTACHMENT_HIDDEN
constexpr char16_t kContentId[] = u"http://schemas.microsoft.com/mapi/proptag/0x3712001F";  // PR_ATTACH_CONTENT_ID

bool Contains(const std::u16string& text, const std::u16string& part) { return text.find(part) != std::u16string::npos; }

}  // namespace

/// The attachments of one item as the user sees them in the host's own list. From version 12 an
/// inline picture of an HTML body is an attachment in the object model that the list does not
/// show: it is hidden, or its content id is referenced as "cid:" by the body. Earlier hosts cannot
/// be asked, and every attachment counts. A property that cannot be read counts as absent: an
/// attachment is rather offered once too often than kept from the user.
class ActionManager::Shown {
public:
    Shown(host::Item& item, int16_t hostMajor) : item_(item), canTell_(hostMajor >= 12) {}

    /// A by-value attachment the user sees.
    bool Saveable(host::Attachment& attachment) {
        return attachment.Type() == host::AttachmentType::ByValue && !(canTell_ && Inline(attachment));
    }

private:
    bool Inline(host::Attachment& attachment) {
        bool inlined = false;
        base::Tolerate([&] {
            const auto properties = attachment.PropertyAccessor();
            if (!properties) return;
            if (const auto hidden = Property(*properties, kHidden); auto* b = std::get_if<bool>(&hidden))
                if (*b) {
                    inlined = true;
                    return;
                }
            const auto id = Property(*properties, kContentId);
            const auto* text = std::get_if<std::u16string>(&id);
            if (text && !text->empty()) inlined = Contains(Body(), u"cid:" + *text);
        });
        return inlined;
    }
    // A property the attachment does not have is the host's ordinary answer (MAPI_E_NOT_FOUND),
    // not a failure; any other failure of one property also counts as its absence.
    static host::PropertyValue Property(host::PropertyAccessor& properties, const char16_t* name) {
        try {
            return properties.GetProperty(name);
        } catch (const HostError& e) {
            if (e.status != HostStatus::NotFound) base::ReportTolerated(e.status, e.text, base::Where::Here());
        }
        return {};
    }
    // Read once per item, and only for an attachment with a content id.
    const std::u16string& Body() {
        if (!body_) {
            body_.emplace();
            base::Tolerate([&] { *body_ = item_.HTMLBody(); });
        }
        return *body_;
    }

    host::Item& item_;
    const bool canTell_;
    std::optional<std::u16string> body_;
};

ActionManager::ActionManager(Platform& platform) : platform_(platform) {}

void ActionManager::Action(const std::shared_ptr<host::Inspector>& ins) { SaveAttachments(ins); }

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

bool ActionManager::HasSaveableAttachments(const std::shared_ptr<host::Item>& item) noexcept {
    // The whole test is suppressed: an item without a readable collection has none.
    try {
        if (!item) return false;
        Shown shown(*item, hostMajorVersion_);
        const auto attachments = Require(item->Attachments());
        const int32_t count = attachments->Count();
        for (int32_t i = 1; i <= count; ++i)
            if (shown.Saveable(*Require(attachments->Item(i)))) return true;
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
            if (IsShortcut(*Require(attachments->Item(i)))) found = true;
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
    if (wasUnsaved && !ContinueWithUnsavedItem(u"Save Attachments")) return;

    Shown shown(*item, hostMajorVersion_);
    // One answer per attachment, so that the count and the walk agree.
    std::vector<bool> saveable;
    int16_t saveableCount = 0;
    for (int32_t i = 1, count = attachments->Count(); i <= count; ++i) {
        saveable.push_back(shown.Saveable(*Require(attachments->Item(i))));
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
    for (int32_t i = 1; i <= count && !stopRequested_; ++i) {
        walked = i;
        const std::shared_ptr<host::Attachment> attachment = Require(attachments->Item(i));
        bool written = false;
        displayNames.push_back(attachment->DisplayName());
        if (saveable[static_cast<std::size_t>(i - 1)]) {
            Increment(ordinal);
            // Reset for every attachment: a choice made in one dialog applies to that one only.
            bool replace = Preferences::ReplaceWithLinks() && !Preferences::ShortcutsRefused();
            bool open = false;
            const std::u16string fileName = attachment->FileName();
            if (!fileDialogManager_) {
                fileDialogManager_ = platform_.CreateSaveAsPrompt();
                // The folder a save-all run chose is where the first Save As dialog starts.
                if (fileDialogManager_ && !lastFolder_.empty()) fileDialogManager_->RememberFolder(lastFolder_);
            }
            // Ours until the dialog returns, whatever happens to the action manager meanwhile.
            const std::shared_ptr<SaveAsPrompt> dialog = Require(fileDialogManager_);
            dialog->SetReplaceOffered(!Preferences::ShortcutsRefused());
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

/// What one save-all run did, for its summary.
struct ActionManager::SaveAllReport {
    std::u16string folder;
    int32_t saveable = 0;
    int32_t saved = 0;
    int32_t replaced = 0;
    std::vector<std::pair<std::u16string, std::u16string>> renamed;  // the attachment's name, the file's
    std::vector<std::pair<std::u16string, std::u16string>> failed;   // the attachment's name, why
    std::vector<std::u16string> notAttempted;                        // left by Cancel or a stop
};

void ActionManager::SaveAll(const std::shared_ptr<host::Inspector>& ins) {
    constexpr char16_t kTitle[] = u"Save All Attachments";
    if (stopRequested_) return;
    const std::shared_ptr<host::Item> item = Require(Require(ins)->CurrentItem());
    const std::shared_ptr<host::Attachments> attachments = Require(item->Attachments());

    const bool wasUnsaved = !item->Saved();
    if (wasUnsaved && !ContinueWithUnsavedItem(kTitle)) return;

    Shown shown(*item, hostMajorVersion_);
    std::vector<int32_t> saveable;
    for (int32_t i = 1, count = attachments->Count(); i <= count; ++i)
        if (shown.Saveable(*Require(attachments->Item(i)))) saveable.push_back(i);
    if (saveable.empty()) return;

    if (!folderPrompt_) folderPrompt_ = platform_.CreateFolderPrompt();
    // Ours until the dialog returns, whatever happens to the action manager meanwhile.
    const std::shared_ptr<FolderPrompt> prompt = Require(folderPrompt_);
    const std::u16string start = fileDialogManager_ ? fileDialogManager_->LastFolder() : lastFolder_;
    const bool offered = !Preferences::ShortcutsRefused();
    const std::optional<FolderChoice> choice =
        prompt->PickFolder(kTitle, start, Preferences::ReplaceWithLinks() && offered, offered);
    if (!choice || choice->folder.empty() || stopRequested_) return;
    const bool replace = choice->replaceWithLinks && !Preferences::ShortcutsRefused();

    FolderNames names(platform_, choice->folder);
    lastFolder_ = names.Folder();
    if (fileDialogManager_) base::Tolerate([&] { fileDialogManager_->RememberFolder(lastFolder_); });
    FileNameMangler mangler(platform_, hostMajorVersion_);
    mangler.mItem(item);

    SaveAllReport report;
    report.folder = names.Folder();
    report.saveable = static_cast<int32_t>(saveable.size());
    std::vector<Replacement> replacements;
    std::shared_ptr<ProgressWindow> progress;
    const int64_t started = platform_.Milliseconds();
    std::size_t next = 0;
    for (; next < saveable.size(); ++next) {
        // Cancel and a stop act between attachments: the one at hand is always finished.
        if (stopRequested_) break;
        bool cancelled = false;
        if (progress) base::Tolerate([&] { cancelled = progress->Cancelled(); });
        if (cancelled) break;
        const int32_t index = saveable[next];
        std::u16string fileName;
        try {
            const std::shared_ptr<host::Attachment> attachment = Require(attachments->Item(index));
            fileName = attachment->FileName();
            if (!progress && platform_.Milliseconds() - started >= kMoment)
                base::Tolerate([&] { progress = platform_.ShowProgress(kTitle); });
            if (progress)
                base::Tolerate([&] {
                    progress->Update(static_cast<uint32_t>(next), static_cast<uint32_t>(saveable.size()), fileName);
                });
            std::u16string name;
            std::u16string reason;
            const std::u16string path = AttachmentFile::WriteAsNew(
                *attachment, platform_,
                [&] {
                    // A name found taken since the listing is kept from the later attachments too.
                    if (!name.empty()) names.Record(name);
                    name = names.NameFor(fileName, mangler);
                    return name.empty() ? std::u16string() : names.PathOf(name);
                },
                reason);
            if (path.empty()) {
                report.failed.emplace_back(fileName, reason);
                continue;
            }
            names.Record(name);
            ++report.saved;
            if (name != fileName) report.renamed.emplace_back(fileName, name);
            if (replace) replacements.push_back({index, path, attachment->DisplayName()});
        } catch (const HostError& e) {
            // One attachment the host cannot give costs that attachment, not the run.
            report.failed.emplace_back(fileName, e.text.empty() ? std::u16string(u"the host refused it") : e.text);
        }
    }
    for (std::size_t n = next; n < saveable.size(); ++n) {
        const std::string ordinal = std::to_string(saveable[n]);
        std::u16string fileName = u"attachment " + std::u16string(ordinal.begin(), ordinal.end());
        base::Tolerate([&] { fileName = Require(attachments->Item(saveable[n]))->FileName(); });
        report.notAttempted.push_back(fileName);
    }
    progress.reset();

    report.replaced = ReplaceAndSave(*item, *attachments, replacements, wasUnsaved);
    TellSaveAllSummary(report);
    if (choice->openFolder && report.saved > 0) base::TolerateAll([&] { (void)platform_.OpenWithShell(report.folder); });
}

void ActionManager::TellSaveAllSummary(const SaveAllReport& report) noexcept {
    base::TolerateAll([&] {
        const auto number = [](int32_t n) {
            const std::string digits = std::to_string(n);
            return std::u16string(digits.begin(), digits.end());
        };
        std::u16string text = number(report.saved) + u" of " + number(report.saveable) +
                              (report.saveable == 1 ? u" attachment" : u" attachments") + u" saved in " +
                              report.folder + u".";
        if (!report.renamed.empty()) {
            text += u"\r\n\r\nSaved under another name:";
            for (const auto& [from, to] : report.renamed) text += u"\r\n" + from + u" -> " + to;
        }
        if (!report.failed.empty()) {
            text += u"\r\n\r\nNot saved:";
            for (const auto& [name, why] : report.failed) text += u"\r\n" + name + u": " + why;
        }
        if (!report.notAttempted.empty()) {
            text += u"\r\n\r\nStopped before these:";
            for (const auto& name : report.notAttempted) text += u"\r\n" + name;
        }
        if (report.replaced > 0) text += u"\r\n\r\n" + number(report.replaced) + u" replaced with shortcuts.";
        platform_.ShowMessageBox(text, u"Save All Attachments", MessageBoxFlags::Ok);
    });
}

bool ActionManager::ContinueWithUnsavedItem(const std::u16string& title) {
    const int32_t answer = platform_.ShowMessageBox(
        u"An attachment may be currently open in another program. We recommend that you exit this program\r\n"
        u"before you continue. Otherwise the changes you have done may be lost. Do you want to continue?",
        title, MessageBoxFlags::YesNo);
    return answer == MessageBoxResult::Yes;
}

int32_t ActionManager::ReplaceAndSave(host::Item& item, host::Attachments& attachments,
                                      const std::vector<Replacement>& replacements, bool wasUnsaved) {
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
    if (!kept.empty()) TellShortcutsRefused(kept);

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
