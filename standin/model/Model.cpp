#include "standin/model/Model.h"

namespace standin {

namespace {

struct KindInfo {
    std::u16string_view typeName;
    bool attachments;
    bool sent;
    bool sender;
    bool html;
};

// Members of each class in the host's type library, as far as the add-in reaches them.
KindInfo Info(ItemKind kind) {
    switch (kind) {
        case ItemKind::Mail: return {u"MailItem", true, true, true, true};
        case ItemKind::Post: return {u"PostItem", true, false, true, true};
        case ItemKind::Note: return {u"NoteItem", false, false, false, false};
        case ItemKind::Appointment: return {u"AppointmentItem", true, false, false, false};
        case ItemKind::Contact: return {u"ContactItem", true, false, false, false};
        case ItemKind::Task: return {u"TaskItem", true, false, false, false};
        case ItemKind::Meeting: return {u"MeetingItem", true, true, true, false};
        case ItemKind::Report: return {u"ReportItem", true, false, false, false};
        case ItemKind::Journal: return {u"JournalItem", true, false, false, false};
        case ItemKind::DistList: return {u"DistListItem", true, false, false, false};
    }
    return {u"", false, false, false, false};
}

}  // namespace

std::u16string ItemNode::TypeName() const { return std::u16string(Info(kind).typeName); }

bool ItemNode::Has(std::u16string_view member) const {
    const KindInfo info = Info(kind);
    if (member == u"Saved" || member == u"Save") return true;
    if (member == u"Attachments") return info.attachments;
    if (member == u"Sent") return info.sent;
    if (member == u"SenderName" || member == u"SentOn") return info.sender;
    if (member == u"HTMLBody") return info.html;
    return false;
}

std::shared_ptr<AttachmentNode> ItemNode::Attach(int32_t type, std::u16string fileName, std::string content) {
    auto node = std::make_shared<AttachmentNode>();
    node->type = type;
    node->displayName = fileName;
    if (type == 4)
        node->source = std::move(fileName);
    else
        node->content = std::move(content);
    node->fileName = node->displayName.substr(node->displayName.find_last_of(u"\\/") + 1);
    node->displayName = node->fileName;
    attachments.push_back(node);
    return node;
}

std::shared_ptr<AttachmentNode> ItemNode::AttachInline(std::u16string fileName, std::u16string contentId,
                                                       bool hidden, std::string content) {
    auto node = Attach(1, std::move(fileName), std::move(content));
    node->contentId = contentId;
    node->hidden = hidden;
    htmlBody += u"<img src=\"cid:" + contentId + u"\">";
    return node;
}

void ItemNode::Saving() {
    for (auto& a : attachments) a->added = false;
    saved = true;
    ++saveCount;
}

std::u16string RibbonIdOf(const ItemNode& item) {
    if (!item.window.empty() && item.kind != ItemKind::Note) return u"Microsoft.Outlook." + item.window;
    switch (item.kind) {
        case ItemKind::Mail: return item.sent ? u"Microsoft.Outlook.Mail.Read" : u"Microsoft.Outlook.Mail.Compose";
        case ItemKind::Post: return item.sent ? u"Microsoft.Outlook.Post.Read" : u"Microsoft.Outlook.Post.Compose";
        case ItemKind::Note: return {};
        case ItemKind::Appointment: return u"Microsoft.Outlook.Appointment";
        case ItemKind::Contact: return u"Microsoft.Outlook.Contact";
        case ItemKind::Task: return u"Microsoft.Outlook.Task";
        case ItemKind::Meeting:
            return item.sent ? u"Microsoft.Outlook.MeetingRequest.Read" : u"Microsoft.Outlook.MeetingRequest.Send";
        case ItemKind::Report: return u"Microsoft.Outlook.Report";
        case ItemKind::Journal: return u"Microsoft.Outlook.Journal";
        case ItemKind::DistList: return u"Microsoft.Outlook.DistributionList";
    }
    return {};
}

std::shared_ptr<BarSet> CopyPersistentBars(const BarSet& from) {
    auto to = std::make_shared<BarSet>();
    for (const auto& bar : from.bars) {
        if (bar->temporary || bar->deleted) continue;
        auto copy = std::make_shared<BarNode>(*bar);
        copy->owner = to;
        copy->controls.clear();
        for (const auto& control : bar->controls) {
            if (control->temporary || control->deleted) continue;
            auto c = std::make_shared<ControlNode>(*control);
            c->parent = copy;
            copy->controls.push_back(std::move(c));
        }
        to->bars.push_back(std::move(copy));
    }
    return to;
}

}  // namespace standin
