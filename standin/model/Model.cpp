#include "standin/model/Model.h"

#include <utility>

#include "standin/model/BodyText.h"

namespace standin {

namespace {

struct KindInfo {
    std::u16string_view typeName;
    bool attachments;
    bool sent;
    bool sender;
    bool html;  // HTMLBody and BodyFormat
    bool rtf;   // RTFBody (version 14 on)
    std::u16string_view messageClass;
};

// Members of each class in the host's type library, as far as the add-in reaches them, and the
// message class the host gives a new item of the kind.
KindInfo Info(ItemKind kind) {
    switch (kind) {
        case ItemKind::Mail: return {u"MailItem", true, true, true, true, true, u"IPM.Note"};
        case ItemKind::Post: return {u"PostItem", true, false, true, true, true, u"IPM.Post"};
        case ItemKind::Note: return {u"NoteItem", false, false, false, false, false, u"IPM.StickyNote"};
        case ItemKind::Appointment:
            return {u"AppointmentItem", true, false, false, false, true, u"IPM.Appointment"};
        case ItemKind::Contact: return {u"ContactItem", true, false, false, false, true, u"IPM.Contact"};
        case ItemKind::Task: return {u"TaskItem", true, false, false, false, true, u"IPM.Task"};
        case ItemKind::Meeting:
            return {u"MeetingItem", true, true, true, false, true, u"IPM.Schedule.Meeting.Request"};
        case ItemKind::Report: return {u"ReportItem", true, false, false, false, false, u"REPORT.IPM.Note.NDR"};
        case ItemKind::Journal: return {u"JournalItem", true, false, false, false, false, u"IPM.Activity"};
        case ItemKind::DistList: return {u"DistListItem", true, false, false, false, true, u"IPM.DistList"};
    }
    return {u"", false, false, false, false, false, u""};
}

}  // namespace

ItemNode::ItemNode(ItemKind k) : kind(k), messageClass(Info(k).messageClass) {}

std::u16string ItemNode::TypeName() const { return std::u16string(Info(kind).typeName); }

bool ItemNode::Has(std::u16string_view member) const {
    const KindInfo info = Info(kind);
    if (member == u"Saved" || member == u"Save" || member == u"Body" || member == u"MessageClass" ||
        member == u"PropertyAccessor")
        return true;
    if (member == u"Attachments") return info.attachments;
    if (member == u"Sent") return info.sent;
    if (member == u"SenderName" || member == u"SentOn") return info.sender;
    if (member == u"HTMLBody" || member == u"BodyFormat") return info.html;
    if (member == u"RTFBody") return info.rtf;
    return false;
}

bool ItemNode::Has(std::u16string_view member, int major) const {
    if (member == u"RTFBody" && major < 14) return false;
    if (member == u"PropertyAccessor" && major < 12) return false;
    return Has(member);
}

void ItemNode::SetHTMLBody(std::u16string html) {
    body = TextOfHTML(html);
    htmlBody = std::move(html);
    rtfBody.clear();
    bodyFormat = host::BodyFormat::HTML;
}

void ItemNode::SetRTFBody(std::string rtf) {
    body = TextOfRTF(rtf);
    rtfBody = std::move(rtf);
    htmlBody.clear();
    bodyFormat = host::BodyFormat::RichText;
}

void ItemNode::SetPlainBody(std::u16string text) {
    body = std::move(text);
    htmlBody.clear();
    rtfBody.clear();
    bodyFormat = host::BodyFormat::Plain;
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
    SetHTMLBody(htmlBody + u"<img src=\"cid:" + contentId + u"\">");
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
