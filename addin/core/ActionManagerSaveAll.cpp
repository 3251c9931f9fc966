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
#include "addin/core/Policies.h"
#include "addin/core/Preferences.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

namespace {

constexpr char16_t kTitle[] = u"Save All Attachments";

std::u16string Number(size_t n) {
    const std::string digits = std::to_string(n);
    return {digits.begin(), digits.end()};
}

std::u16string Why(const HostError& e) { return e.text.empty() ? std::u16string(u"the host refused it") : e.text; }

// An item as the summary names it.
std::u16string ItemName(const std::u16string& subject) {
    return subject.empty() ? std::u16string(u"(no subject)") : subject;
}

std::u16string SubjectOf(host::Item& item) {
    std::u16string subject;
    base::Tolerate([&] { subject = item.Subject(); });
    return ItemName(subject);
}

}  // namespace

struct ActionManager::Part {
    std::shared_ptr<host::Item> item;
    std::shared_ptr<host::Attachments> attachments;
    std::vector<int32_t> only;
    std::vector<int32_t> saveable;
    bool wasUnsaved = false;
    std::u16string subject;  // read in a run over several items
    std::vector<Replacement> replacements;
};

struct ActionManager::Walked {
    std::vector<Part> parts;
    ItemFailures skipped;
    bool several = false;
    bool cancelled = false;
};

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
    std::vector<std::pair<std::u16string, std::u16string>> already;  // the attachment's name, the file's
    std::vector<std::pair<std::u16string, std::u16string>> failed;   // the attachment's name, why
    std::vector<std::u16string> notAttempted;                        // left by Cancel or a stop
    ItemFailures skipped;                                             // items that could not be read
    ItemFailures unsaved;                                             // items whose shortcuts or save failed
};

void ActionManager::SaveAll(const std::shared_ptr<host::Inspector>& ins) {
    if (stopRequested_) return;
    Walked walked = WalkTargets({Target{Require(Require(ins)->CurrentItem()), {}}}, false);
    SaveAllOf(walked);
}

void ActionManager::SaveSelected(const std::vector<Target>& targets, bool saveAll) {
    if (stopRequested_) return;
    Walked walked = WalkTargets(targets, true);
    if (walked.cancelled || stopRequested_) return;
    if (walked.parts.empty()) return TellNothingToSave(saveAll, walked.skipped);
    if (!saveAll && walked.parts.size() == 1 && walked.skipped.empty())
        return SaveAttachments(walked.parts.front().item, walked.parts.front().only);
    SaveAllOf(walked);
}

ActionManager::Walked ActionManager::WalkTargets(const std::vector<Target>& targets, bool fromSelection) {
    Walked walked;
    walked.several = targets.size() > 1;
    std::shared_ptr<ProgressWindow> progress;
    const int64_t started = platform_.Milliseconds();
    const auto total = static_cast<uint32_t>(targets.size());
    for (size_t t = 0; t < targets.size(); ++t) {
        const Target& target = targets[t];
        std::u16string subject;
        const bool named = walked.several && base::Tolerate([&] { subject = Require(target.item)->Subject(); });
        // The clock is read between items only, so a run over one item times its writes alone.
        if (t > 0) {
            if (!progress && platform_.Milliseconds() - started >= kMoment)
                base::Tolerate([&] { progress = platform_.ShowProgress(kTitle); });
            bool cancelled = stopRequested_;
            if (progress && !cancelled) base::Tolerate([&] { cancelled = progress->Cancelled(); });
            if (cancelled) {
                walked.cancelled = true;
                return walked;
            }
            if (progress) base::Tolerate([&] { progress->Update(static_cast<uint32_t>(t), total, subject); });
        }
        try {
            if (fromSelection) {
                // The item windows' rule, item by item: a message still being written is not saved from.
                bool sentOrNonMail = false;
                base::Tolerate([&] { sentOrNonMail = target.item && IsSentOrNonMailItem(target.item); });
                if (!sentOrNonMail) continue;
            }
            std::shared_ptr<host::Attachments> attachments;
            try {
                attachments = Require(target.item)->Attachments();
            } catch (const HostError& e) {
                // An item of a kind that has no attachments has nothing to save; it is no failure.
                if (e.status == HostStatus::MemberNotFound) continue;
                throw;
            }
            Part part{target.item, Require(attachments), target.only, {}, false, {}, {}};
            part.wasUnsaved = !part.item->Saved();
            Shown shown(*part.item, hostMajorVersion_);
            for (int32_t i = 1, count = part.attachments->Count(); i <= count; ++i)
                if (Targeted(target.only, i) && shown.Saveable(*Require(part.attachments->Item(i))))
                    part.saveable.push_back(i);
            if (part.saveable.empty()) continue;
            part.subject = subject;
            walked.parts.push_back(std::move(part));
        } catch (const HostError& e) {
            if (!fromSelection) throw;
            // One item the host cannot give costs that item, not the run.
            const bool known = named || base::Tolerate([&] { subject = Require(target.item)->Subject(); });
            walked.skipped.emplace_back(known ? ItemName(subject) : u"item " + Number(t + 1), Why(e));
        }
    }
    return walked;
}

void ActionManager::SaveAllOf(Walked& walked) {
    if (stopRequested_ || walked.cancelled || walked.parts.empty()) return;
    std::vector<Part>& parts = walked.parts;
    const bool several = walked.several;
    SaveAllReport report;
    report.skipped = walked.skipped;
    std::vector<std::u16string> unsaved;
    for (const Part& part : parts) {
        if (part.wasUnsaved) unsaved.push_back(ItemName(part.subject));
        SaveAllReport::Message message;
        message.subject = part.subject;
        message.saveable = static_cast<int32_t>(part.saveable.size());
        report.messages.push_back(std::move(message));
        report.saveable += static_cast<int32_t>(part.saveable.size());
    }
    // An item with unsaved changes, as in its window: the user is asked once per run.
    if (!unsaved.empty() && !ContinueWithUnsavedItem(kTitle, several ? unsaved : std::vector<std::u16string>()))
        return;

    if (!folderPrompt_) folderPrompt_ = platform_.CreateFolderPrompt();
    // Ours until the dialog returns, whatever happens to the action manager meanwhile.
    const std::shared_ptr<FolderPrompt> prompt = Require(folderPrompt_);
    const std::u16string start = fileDialogManager_ ? fileDialogManager_->LastFolder() : lastFolder_;
    const Policies::Effective policies = Policies::Read(platform_);
    const bool offered = policies.replaceAllowed && !Preferences::ShortcutsRefused();
    const std::optional<FolderChoice> choice =
        prompt->PickFolder(kTitle, start, policies.StartsTicked(Preferences::ReplaceWithLinks()) && offered, offered);
    if (!choice || choice->folder.empty() || stopRequested_) return;
    const bool replace = choice->replaceWithLinks && offered && !Preferences::ShortcutsRefused();

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
                std::u16string found;
                const std::u16string path = AttachmentFile::WriteAsNew(
                    *attachment, platform_,
                    [&] {
                        // A name found taken since the listing is kept from the later attachments too.
                        if (!name.empty()) names.Record(name);
                        name = names.NameFor(fileName, mangler);
                        return name.empty() ? std::u16string() : names.PathOf(name);
                    },
                    reason,
                    [&](const std::u16string& written) {
                        // A run again over the same folder writes nothing twice.
                        found = names.SameFileAs(written, fileName, mangler);
                        return found.empty() ? std::u16string() : names.PathOf(found);
                    },
                    // Every name taken: the folder may hold the attachment under one of them.
                    names.StartName(fileName).empty() ? std::u16string() : names.PathOf(names.StartName(fileName)));
                if (path.empty()) {
                    report.failed.emplace_back(named(fileName), reason);
                    continue;
                }
                ++report.saved;
                ++message.saved;
                if (!found.empty()) {
                    report.already.emplace_back(named(fileName), found);
                } else {
                    names.Record(name);
                    if (name != fileName) report.renamed.emplace_back(named(fileName), name);
                }
                if (replace) {
                    // The file is saved whatever the host answers now: a name it will not give is the file's.
                    std::u16string displayName = fileName;
                    base::Tolerate([&] { displayName = attachment->DisplayName(); });
                    part.replacements.push_back({index, path, displayName});
                }
            } catch (const HostError& e) {
                // One attachment the host cannot give costs that attachment, not the run.
                report.failed.emplace_back(named(fileName), Why(e));
            }
        }
    }
    progress.reset();

    // The user hears once which attachments stayed because the host made no shortcut, whatever
    // item they are in.
    std::u16string kept;
    for (Part& part : parts) {
        try {
            report.replaced += ReplaceAndSave(*part.item, *part.attachments, part.replacements, part.wasUnsaved, &kept);
        } catch (const HostError& e) {
            // The item's files stay saved and nothing of it is lost; the other items still get theirs.
            report.unsaved.emplace_back(part.subject.empty() ? SubjectOf(*part.item) : part.subject, Why(e));
        }
    }
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
                text += u"\r\n" + ItemName(m.subject) + u": " +
                        number(m.saved) + u" of " + number(m.saveable) + u" saved";
        }
        if (!report.renamed.empty()) {
            text += u"\r\n\r\nSaved under another name:";
            for (const auto& [from, to] : report.renamed) text += u"\r\n" + from + u" -> " + to;
        }
        if (!report.already.empty()) {
            text += u"\r\n";
            for (const auto& [from, to] : report.already) text += u"\r\n" + from + u": already in the folder as " + to;
        }
        if (!report.failed.empty()) {
            text += u"\r\n\r\nNot saved:";
            for (const auto& [name, why] : report.failed) text += u"\r\n" + name + u": " + why;
        }
        const auto items = [&](const char16_t* heading, const ItemFailures& list) {
            if (list.empty()) return;
            text += heading;
            for (const auto& [name, why] : list) text += u"\r\n" + name + u": " + why;
        };
        items(u"\r\n\r\nItems skipped:", report.skipped);
        if (!report.notAttempted.empty()) {
            text += u"\r\n\r\nStopped before these:";
            for (const auto& name : report.notAttempted) text += u"\r\n" + name;
        }
        if (report.replaced > 0) text += u"\r\n\r\n" + number(report.replaced) + u" replaced with shortcuts.";
        items(u"\r\n\r\nItems left unsaved:", report.unsaved);
        platform_.ShowMessageBox(text, u"Save All Attachments", MessageBoxFlags::Ok);
    });
}

void ActionManager::TellNothingToSave(bool saveAll, const ItemFailures& skipped) noexcept {
    base::TolerateAll([&] {
        std::u16string text = u"The selected items have no attachments to save.";
        if (!skipped.empty()) text += u"\r\n\r\nItems skipped:";
        for (const auto& [name, why] : skipped) text += u"\r\n" + name + u": " + why;
        platform_.ShowMessageBox(text, saveAll ? GetSaveAllCaption() : GetCaption(), MessageBoxFlags::Ok);
    });
}

}  // namespace addin
