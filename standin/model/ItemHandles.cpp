// The host's items as the add-in reaches them: items, their attachments and the attachments'
// properties.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Ascii.h"
#include "standin/model/Handle.h"

namespace standin {

namespace {

std::u16string FileNameOf(const std::u16string& path) { return path.substr(path.find_last_of(u"\\/") + 1); }

std::filesystem::path PathOf(const std::u16string& path) { return std::filesystem::path(path); }

class AttachmentHandle final : public Handle<host::Attachment, AttachmentNode> {
public:
    AttachmentHandle(std::shared_ptr<World> w, std::shared_ptr<AttachmentNode> n, std::shared_ptr<ItemNode> item)
        : Handle(std::move(w), std::move(n), "Attachment"), item_(std::move(item)) {}

    // Documented for Attachments.Add: a new attachment reports OLE until its item is saved.
    int32_t Type() override {
        const AttachmentNode* n = Live("Attachment.Type");
        return n->added ? host::AttachmentType::Ole : n->type;
    }
    std::u16string FileName() override { return Live("Attachment.FileName")->fileName; }
    std::u16string DisplayName() override { return Live("Attachment.DisplayName")->displayName; }
    void SetDisplayName(const std::u16string& value) override {
        Live("Attachment.DisplayName=")->displayName = value;
        item_->saved = false;
    }
    void SaveAsFile(const std::u16string& path) override {
        Live("Attachment.SaveAsFile");
        std::string bytes = node_->content;
        if (node_->type == host::AttachmentType::ByReference) {
            std::ifstream in(PathOf(node_->source), std::ios::binary);
            if (!in) throw HostError(HostStatus::FileNotFound, u"Cannot find the linked file " + node_->source);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        // A write that breaks off (a full disk, a share that drops) leaves what it wrote.
        const auto broken = world_->ledger.WriteLimit("Attachment.SaveAsFile");
        if (broken && broken->bytes < 0) return;
        if (broken && broken->bytes < static_cast<int64_t>(bytes.size())) bytes.resize(static_cast<size_t>(broken->bytes));
        world_->written.push_back(path);
        std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) throw HostError(HostStatus::Fail, u"Cannot save the attachment to " + path);
        if (broken) throw HostError(broken->status, u"Cannot save the attachment to " + path + u": the write broke off");
    }
    void Delete() override {
        Live("Attachment.Delete");
        node_->deleted = true;
        std::erase(item_->attachments, node_);
        item_->saved = false;
        world_->removed.push_back({item_, node_});
    }
    // Valid only for links; the host answers an empty text for every other attachment.
    std::u16string PathName() override {
        const AttachmentNode* n = Live("Attachment.PathName");
        return n->type == host::AttachmentType::ByReference ? n->source : std::u16string();
    }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override;
    std::shared_ptr<host::Item> Parent() override;
    int32_t Index() override {
        Live("Attachment.Index");
        const auto& all = item_->attachments;
        return static_cast<int32_t>(std::find(all.begin(), all.end(), node_) - all.begin()) + 1;
    }

private:
    AttachmentNode* Live(std::string_view member) {
        Enter(member);
        if (node_->deleted) throw Gone("attachment");
        return node_.get();
    }
    std::shared_ptr<ItemNode> item_;
};

class PropertyAccessorHandle final : public Handle<host::PropertyAccessor, AttachmentNode> {
public:
    PropertyAccessorHandle(std::shared_ptr<World> w, std::shared_ptr<AttachmentNode> n)
        : Handle(std::move(w), std::move(n), "PropertyAccessor") {}

    host::PropertyValue GetProperty(const std::u16string& schemaName) override {
        Enter("PropertyAccessor.GetProperty");
        if (node_->deleted) throw Gone("attachment");
        // Tags compare without regard to the case of their hexadecimal digits, as the host's do.
        const std::u16string name = base::ToAsciiUpper(schemaName);
        const std::u16string prefix = u"HTTP://SCHEMAS.MICROSOFT.COM/MAPI/PROPTAG/";
        if (name.rfind(prefix, 0) != 0)
            throw HostError(HostStatus::InvalidArg, u"The property \"" + schemaName + u"\" is unknown.");
        const std::u16string tag = name.substr(prefix.size());
        if (tag == u"0X7FFE000B" && node_->hidden) return *node_->hidden;
        if (tag == u"0X3712001F" && !node_->contentId.empty()) return node_->contentId;
        if (tag == u"0X37140003") return int32_t{node_->contentId.empty() ? 0 : 4};  // ATT_MHTML_REF
        throw HostError(HostStatus::NotFound, u"The property \"" + schemaName + u"\" is unknown or cannot be found.");
    }
};

std::shared_ptr<host::PropertyAccessor> AttachmentHandle::PropertyAccessor() {
    Live("Attachment.PropertyAccessor");
    if (world_->options.Major() < 12)
        throw HostError(HostStatus::MemberNotFound, u"Object doesn't support this property or method");
    if (Nothing("Attachment.PropertyAccessor")) return nullptr;
    return std::make_shared<PropertyAccessorHandle>(world_, node_);
}

class AttachmentsHandle final : public Handle<host::Attachments, ItemNode> {
public:
    AttachmentsHandle(std::shared_ptr<World> w, std::shared_ptr<ItemNode> n)
        : Handle(std::move(w), std::move(n), "Attachments") {}

    int32_t Count() override {
        Enter("Attachments.Count");
        return static_cast<int32_t>(node_->attachments.size());
    }
    std::shared_ptr<host::Attachment> Item(int32_t index) override {
        Enter("Attachments.Item");
        if (index < 1 || index > static_cast<int32_t>(node_->attachments.size()))
            throw HostError(HostStatus::InvalidArg, u"Array index out of bounds.");
        if (Nothing("Attachments.Item")) return nullptr;
        return std::make_shared<AttachmentHandle>(world_, node_->attachments[static_cast<size_t>(index - 1)], node_);
    }
    std::shared_ptr<host::Attachment> Add(const std::u16string& source, std::optional<int32_t> type,
                                          std::optional<int32_t>, std::optional<std::u16string> displayName) override {
        Enter("Attachments.Add");
        if (Nothing("Attachments.Add")) return nullptr;
        auto node = std::make_shared<AttachmentNode>();
        node->type = type.value_or(host::AttachmentType::ByValue);
        node->fileName = FileNameOf(source);
        node->displayName = displayName.value_or(node->fileName);
        if (node->type == host::AttachmentType::ByValue) {
            ReadInto(*node, source);
        } else if (node->type == host::AttachmentType::ByReference) {
            AttachByReference(*node, source);
        } else {
            throw HostError(HostStatus::InvalidArg, u"Only files can be attached by value or by reference");
        }
        node->added = true;
        node_->attachments.push_back(node);
        node_->saved = false;
        return std::make_shared<AttachmentHandle>(world_, node, node_);
    }

private:
    static void ReadInto(AttachmentNode& node, const std::u16string& source) {
        std::ifstream in(PathOf(source), std::ios::binary);
        if (!in) throw HostError(HostStatus::FileNotFound, u"Cannot find the file " + source);
        node.content.assign(std::istreambuf_iterator<char>(in), {});
    }
    // Links are "no longer supported" from version 12; what Add makes of one is not documented,
    // so the host plays each answer (docs/host-behaviour.md).
    void AttachByReference(AttachmentNode& node, const std::u16string& source) {
        if (world_->options.Major() < 12) {
            node.source = source;
            return;
        }
        switch (world_->options.byReference) {
            case ByReference::Refuse:
                throw HostError(HostStatus::Fail, u"Attachments by reference are not supported.");
            case ByReference::Copy:
                node.type = host::AttachmentType::ByValue;
                ReadInto(node, source);
                return;
            case ByReference::Link:
                node.source = source;
                return;
        }
    }
};

class ItemHandle final : public Handle<host::Item, ItemNode> {
public:
    ItemHandle(std::shared_ptr<World> w, std::shared_ptr<ItemNode> n) : Handle(std::move(w), std::move(n), "Item") {}

    std::u16string TypeName() override {
        Enter("Item.TypeName");
        return node_->TypeName();
    }
    std::shared_ptr<host::Attachments> Attachments() override {
        Member("Item.Attachments", u"Attachments");
        if (Nothing("Item.Attachments")) return nullptr;
        return std::make_shared<AttachmentsHandle>(world_, node_);
    }
    bool Saved() override {
        Member("Item.Saved", u"Saved");
        return node_->saved;
    }
    void Save() override {
        Member("Item.Save", u"Save");
        node_->Saving();
    }
    bool Sent() override {
        Member("Item.Sent", u"Sent");
        return node_->sent;
    }
    std::u16string SenderName() override {
        Member("Item.SenderName", u"SenderName");
        // A protected member: the guard of versions 9 to 11 asks the user, whose No fails the call.
        if (world_->options.guardRefuses && world_->options.Major() <= 11)
            throw HostError(HostStatus::GuardRefused, u"The operation was refused by the security settings.");
        return node_->senderName;
    }
    host::DateTime SentOn() override {
        Member("Item.SentOn", u"SentOn");
        return node_->sentOn;
    }
    std::u16string HTMLBody() override {
        Member("Item.HTMLBody", u"HTMLBody");
        return node_->htmlBody;
    }
    std::u16string Subject() override {
        Enter("Item.Subject");
        return node_->subject;
    }

private:
    void Member(std::string_view logged, std::u16string_view name) {
        Enter(logged);
        if (!node_->Has(name))
            throw HostError(HostStatus::MemberNotFound, u"Object doesn't support this property or method");
    }
};

std::shared_ptr<host::Item> AttachmentHandle::Parent() {
    Live("Attachment.Parent");
    if (Nothing("Attachment.Parent")) return nullptr;
    return std::make_shared<ItemHandle>(world_, item_);
}

}  // namespace

std::shared_ptr<host::Attachment> MakeAttachment(const std::shared_ptr<World>& world,
                                                 const std::shared_ptr<AttachmentNode>& node,
                                                 const std::shared_ptr<ItemNode>& item) {
    return std::make_shared<AttachmentHandle>(world, node, item);
}
std::shared_ptr<host::Item> MakeItem(const std::shared_ptr<World>& world, const std::shared_ptr<ItemNode>& node) {
    return std::make_shared<ItemHandle>(world, node);
}

}  // namespace standin
