// "Save All Attachments": every attachment of one item, or of the items selected in the main
// window, into one folder the user picks once.
#include <string>
#include <utility>
#include <vector>

#include "addin/core/ActionManager.h"
#include "addin/core/ActionManagerShown.h"
#include "addin/core/AttachmentFile.h"
#include "addin/core/FileNameMangler.h"
#include "addin/core/FolderNames.h"
#include "addin/core/Platform.h"
#include "addin/core/Preferences.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

namespace {

std::u16string Number(size_t n) {
    const std::string digits = std::to_string(n);
    return {digits.begin(), digits.end()};
}

}  // namespace

/// What one save-all run did, for its summary. Each attachment's line names its item's subject
/// when the run covered more than one item.
struct ActionManager::SaveAllReport {
    struct Message {
        std::u16string subject;
        int32_t saveable = 0;
        int32_t saved = 0;
    };
    std::u16string folder;
    std::vector<Message> messages;
    int32_t saveable = 0;
    int32_t saved = 0;
    int32_t replaced = 0;
    std::vector<std::pair<std::u16string, std::u16string>> renamed;  // the attachment's name, the file's
    std::vector<std::pair<std::u16string, std::u16string>> failed;   // the attachment's name, why
    std::vector<std::u16string> notAttempted;                        // left by Cancel or a stop
};

void ActionManager::SaveAll(const std::shared_ptr<host::Inspector>& ins) {
    if (stopRequested_) return;
    SaveAllOf({Target{Require(Require(ins)->CurrentItem()), {}}});
}

void ActionManager::SaveAllOf(const std::vector<Target>& targets) {
    constexpr char16_t kTitle[] = u"Save All Attachments";
    if (stopRequested_) return;
    // One item's part of the run.
    struct Part {
        std::shared_ptr<host::Item> item;
        std::shared_ptr<host::Attachments> attachments;
        std::vector<int32_t> saveable;
        bool wasUnsaved = false;
        std::vector<Replacement> replacements;
    };
    std::vector<Part> parts;
    bool asked = false;
    SaveAllReport report;
    const bool several = targets.size() > 1;
    for (const Target& target : targets) {
        Part part{Require(target.item), Require(target.item->Attachments()), {}, false, {}};
        // An item with unsaved changes, as in its window: the user is asked once per run.
        part.wasUnsaved = !part.item->Saved();
        if (part.wasUnsaved && !asked) {
            if (!ContinueWithUnsavedItem(kTitle)) return;
            asked = true;
        }
        Shown shown(*part.item, hostMajorVersion_);
        for (int32_t i = 1, count = part.attachments->Count(); i <= count; ++i)
            if (Targeted(target.only, i) && shown.Saveable(*Require(part.attachments->Item(i)))) part.saveable.push_back(i);
        if (part.saveable.empty()) continue;
        SaveAllReport::Message message;
        if (several) base::Tolerate([&] { message.subject = part.item->Subject(); });
        message.saveable = static_cast<int32_t>(part.saveable.size());
        report.messages.push_back(std::move(message));
        report.saveable += static_cast<int32_t>(part.saveable.size());
        parts.push_back(std::move(part));
    }
    if (parts.empty()) return;

    if (!folderPrompt_) folderPrompt_ = platform_.CreateFolderPrompt();
    // Ours until the dialog returns, whatever happens to the action manager meanwhile.
    const std::shared_ptr<FolderPrompt> prompt = Require(folderPrompt_);
    const std::u16string start = fileDialogManager_ ? fileDialogManager_->LastFolder() : lastFolder_;
    const bool offered = !Preferences::ShortcutsRefused();
    const std::optional<FolderChoice> choice =
        prompt->PickFolder(kTitle, start, Preferences::ReplaceWithLinks() && offered, offered);
    if (!choice || choice->folder.empty() || stopRequested_) return;
    const bool replace = choice->replaceWithLinks && !Preferences::ShortcutsRefused();

    // One listing of the folder for the whole run: names are unique across the items.
    FolderNames names(platform_, choice->folder);
    lastFolder_ = names.Folder();
    if (fileDialogManager_) base::Tolerate([&] { fileDialogManager_->RememberFolder(lastFolder_); });
    report.folder = names.Folder();

    std::shared_ptr<ProgressWindow> progress;
    const int64_t started = platform_.Milliseconds();
    const auto total = static_cast<uint32_t>(report.saveable);
    uint32_t done = 0;
    bool stopped = false;
    for (size_t p = 0; p < parts.size(); ++p) {
        Part& part = parts[p];
        SaveAllReport::Message& message = report.messages[p];
        const auto named = [&](const std::u16string& name) { return several ? name + u" (" + message.subject + u")" : name; };
        FileNameMangler mangler(platform_, hostMajorVersion_);
        mangler.mItem(part.item);
        for (size_t next = 0; next < part.saveable.size(); ++next, ++done) {
            const int32_t index = part.saveable[next];
            // Cancel and a stop act between attachments: the one at hand is always finished.
            if (!stopped) {
                bool cancelled = stopRequested_;
                if (progress && !cancelled) base::Tolerate([&] { cancelled = progress->Cancelled(); });
                stopped = cancelled;
            }
            if (stopped) {
                std::u16string fileName = u"attachment " + Number(static_cast<size_t>(index));
                base::Tolerate([&] { fileName = Require(part.attachments->Item(index))->FileName(); });
                report.notAttempted.push_back(named(fileName));
                continue;
            }
            std::u16string fileName;
            try {
                const std::shared_ptr<host::Attachment> attachment = Require(part.attachments->Item(index));
                fileName = attachment->FileName();
                if (!progress && platform_.Milliseconds() - started >= kMoment)
                    base::Tolerate([&] { progress = platform_.ShowProgress(kTitle); });
                if (progress) base::Tolerate([&] { progress->Update(done, total, fileName); });
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
                    report.failed.emplace_back(named(fileName), reason);
                    continue;
                }
                names.Record(name);
                ++report.saved;
                ++message.saved;
                if (name != fileName) report.renamed.emplace_back(named(fileName), name);
                if (replace) part.replacements.push_back({index, path, attachment->DisplayName()});
            } catch (const HostError& e) {
                // One attachment the host cannot give costs that attachment, not the run.
                report.failed.emplace_back(named(fileName), e.text.empty() ? std::u16string(u"the host refused it") : e.text);
            }
        }
    }
    progress.reset();

    // The user hears once which attachments stayed because the host made no shortcut, whatever
    // item they are in.
    std::u16string kept;
    for (Part& part : parts)
        report.replaced += ReplaceAndSave(*part.item, *part.attachments, part.replacements, part.wasUnsaved, &kept);
    if (!kept.empty()) TellShortcutsRefused(kept);
    TellSaveAllSummary(report);
    if (choice->openFolder && report.saved > 0) base::TolerateAll([&] { (void)platform_.OpenWithShell(report.folder); });
}

void ActionManager::TellSaveAllSummary(const SaveAllReport& report) noexcept {
    base::TolerateAll([&] {
        const auto number = [](int32_t n) { return Number(static_cast<size_t>(n)); };
        std::u16string text = number(report.saved) + u" of " + number(report.saveable) +
                              (report.saveable == 1 ? u" attachment" : u" attachments") + u" saved in " +
                              report.folder + u".";
        if (report.messages.size() > 1) {
            text += u"\r\n\r\nFrom " + number(static_cast<int32_t>(report.messages.size())) + u" items:";
            for (const auto& m : report.messages)
                text += u"\r\n" + (m.subject.empty() ? std::u16string(u"(no subject)") : m.subject) + u": " +
                        number(m.saved) + u" of " + number(m.saveable) + u" saved";
        }
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

}  // namespace addin
