#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Ascii.h"
#include "standin/model/World.h"

namespace standin {

namespace {

std::string Narrow(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

bool FileHolds(const std::u16string& path, const std::string& content) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return false;
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    return bytes == content;
}

bool SamePath(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
               return base::AsciiLower(x) == base::AsciiLower(y) || ((x == u'/' || x == u'\\') && (y == u'/' || y == u'\\'));
           });
}

bool OurTag(const std::u16string& tag, const AddInMarks& marks) {
    return tag == marks.tag ||
           std::any_of(marks.others.begin(), marks.others.end(), [&](const auto& o) { return o.first == tag; });
}

bool Complete(const ControlNode& c, const AddInMarks& marks) {
    const bool named = (c.tag == marks.tag && c.caption == marks.caption) ||
                       std::any_of(marks.others.begin(), marks.others.end(),
                                   [&](const auto& o) { return c.tag == o.first && c.caption == o.second; });
    return named && c.onAction.starts_with(u"!<") && c.onAction.ends_with(u">") && c.style == 3 &&
           (c.faceId == 3 || c.picture);
}

void CheckBars(const BarSet& set, const std::string& where, const AddInMarks& marks, bool unloaded,
               std::vector<std::string>& found) {
    for (const auto& bar : set.bars) {
        const bool ours = bar->name == marks.toolbar;
        if (ours && bar->controls.empty()) found.push_back(where + ": an empty \"" + Narrow(bar->name) + "\" bar");
        for (const auto& c : bar->controls) {
            if (!OurTag(c->tag, marks) && !ours) continue;
            if (!Complete(*c, marks))
                found.push_back(where + ": a half-made button \"" + Narrow(c->caption) + "\" tag \"" + Narrow(c->tag) +
                                "\"");
            else if (unloaded)
                found.push_back(where + ": a button of the unloaded add-in");
        }
    }
}

}  // namespace

HostAudit Host::Audit(const AddInMarks& marks, bool unloaded) const {
    HostAudit audit;
    audit.held = world_->ledger.LiveCount();
    audit.exceptions = world_->eventExceptions;

    for (const auto& [item, attachment] : world_->removed) {
        if (attachment->type != host::AttachmentType::ByValue) continue;
        // Kept by a link to a file that holds it (in the item, or sent with it), or still in the item
        // by value (a copy the host made of a link, removed again beside its original).
        const auto holds = [&](const AttachmentNode& a) {
            if (a.type == host::AttachmentType::ByValue) return a.content == attachment->content;
            return a.type == host::AttachmentType::ByReference && FileHolds(a.source, attachment->content);
        };
        const bool kept =
            std::any_of(item->attachments.begin(), item->attachments.end(), [&](const auto& a) { return holds(*a); }) ||
            std::any_of(world_->sentLinks.begin(), world_->sentLinks.end(),
                        [&](const RemovedAttachment& s) { return s.item == item && holds(*s.attachment); });
        if (!kept) audit.lost.push_back("\"" + Narrow(attachment->displayName) + "\" of \"" + Narrow(item->subject) + "\"");
    }

    // The host wrote these for the add-in; under a name no dialog gave it, a file must not outlive the run.
    std::vector<std::u16string> reported;
    for (const auto& path : world_->written) {
        const auto same = [&](const std::u16string& p) { return SamePath(p, path); };
        if (std::any_of(world_->chosen.begin(), world_->chosen.end(), same) ||
            std::any_of(reported.begin(), reported.end(), same))
            continue;
        std::error_code ignored;
        if (!std::filesystem::exists(std::filesystem::path(path), ignored)) continue;
        reported.push_back(path);
        audit.inconsistent.push_back("a file left over: \"" + Narrow(path) + "\"");
    }

    for (size_t i = 0; i < world_->inspectors.size(); ++i)
        CheckBars(*world_->inspectors[i]->bars, "inspector " + std::to_string(i + 1), marks, unloaded, audit.inconsistent);
    for (size_t i = 0; i < world_->explorers.size(); ++i)
        CheckBars(*world_->explorers[i]->bars, "explorer " + std::to_string(i + 1), marks, unloaded, audit.inconsistent);
    // What the host keeps for its next run; a kept button of an unloaded add-in is the host's own
    // record of a window closed earlier, not a leftover.
    CheckBars(world_->store->inspector, "kept inspector bars", marks, false, audit.inconsistent);
    CheckBars(world_->store->explorer, "kept explorer bars", marks, false, audit.inconsistent);
    return audit;
}

}  // namespace standin
