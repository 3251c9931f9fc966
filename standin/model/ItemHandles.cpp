// The host's items as the add-in reaches them: items, their attachments and the attachments'
// properties.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <variant>

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

constexpr std::u16string_view kTagPrefix = u"HTTP://SCHEMAS.MICROSOFT.COM/MAPI/PROPTAG/";
constexpr std::u16string_view kStringPrefix = u"HTTP://SCHEMAS.MICROSOFT.COM/MAPI/STRING/{";
/// MAPI_E_COMPUTED: a property the store computes, which a client cannot set.
constexpr int32_t kComputed = static_cast<int32_t>(0x8004011Au);
/// The longest text a store returns in one call (they return 4 to 16 KB); a longer one must be
/// read as a stream, and GetProperty fails.
constexpr size_t kLongestTextBytes = 16 * 1024;

std::u16string Unknown(const std::u16string& schemaName) {
    return u"The property \"" + schemaName + u"\" is unknown or cannot be found.";
}

// The name a property is kept under: the tag's hexadecimal digits and a named property's GUID
// compare without regard to case, the name after the GUID with (as the host's do).
std::u16string PropertyKey(const std::u16string& schemaName) {
    const std::u16string upper = base::ToAsciiUpper(schemaName);
    if (upper.starts_with(kTagPrefix) && upper.size() > kTagPrefix.size()) return upper;
    if (upper.starts_with(kStringPrefix)) {
        const size_t close = upper.find(u'}', kStringPrefix.size());
        if (close == kStringPrefix.size() + 36 && close + 2 < upper.size() && upper[close + 1] == u'/')
            return upper.substr(0, close + 2) + schemaName.substr(close + 2);
    }
    throw HostError(HostStatus::InvalidArg, u"The property \"" + schemaName + u"\" is unknown.");
}

std::u16string TagOf(const std::u16string& key) {
    return key.starts_with(kTagPrefix) ? key.substr(kTagPrefix.size()) : std::u16string();
}

// The properties the host computes from the object: the attachment's list marks, the item's
// access rights.
std::optional<host::PropertyValue> Computed(const AttachmentNode& n, const std::u16string& tag) {
    if (tag == u"0X7FFE000B" && n.hidden) return *n.hidden;
    if (tag == u"0X3712001F" && !n.contentId.empty()) return n.contentId;
    if (tag == u"0X37140003") return int32_t{n.contentId.empty() ? 0 : 4};  // ATT_MHTML_REF
    return std::nullopt;
}
std::optional<host::PropertyValue> Computed(const ItemNode& n, const std::u16string& tag) {
    if (tag == u"0X0FF40003") return n.access;  // PR_ACCESS
    return std::nullopt;
}
bool ReadOnly(const AttachmentNode&, const std::u16string&) { return false; }
bool ReadOnly(const ItemNode&, const std::u16string& tag) { return tag == u"0X0FF40003"; }
bool Deleted(const AttachmentNode& n) { return n.deleted; }
bool Deleted(const ItemNode&) { return false; }

/// The PropertyAccessor of an item or of an attachment of `item`.
template <class NodeT>
class PropertyAccessorHandle final : public Handle<host::PropertyAccessor, NodeT> {
    using Base = Handle<host::PropertyAccessor, NodeT>;

public:
    PropertyAccessorHandle(std::shared_ptr<World> w, std::shared_ptr<NodeT> n, std::shared_ptr<ItemNode> item)
        : Base(std::move(w), std::move(n), "PropertyAccessor"), item_(std::move(item)) {}

    host::PropertyValue GetProperty(const std::u16string& schemaName) override {
        NodeT& n = Live("PropertyAccessor.GetProperty");
        const std::u16string key = PropertyKey(schemaName);
        const auto kept = n.properties.find(key);
        if (kept == n.properties.end()) {
            if (auto value = Computed(n, TagOf(key))) return *value;
            throw HostError(HostStatus::NotFound, Unknown(schemaName));
        }
        const auto* text = std::get_if<std::u16string>(&kept->second);
        if (text && text->size() * sizeof(char16_t) > kLongestTextBytes)
            throw HostError(HostStatus::OutOfMemory, u"Not enough memory to read the property \"" + schemaName + u"\".");
        return kept->second;
    }
    void SetProperty(const std::u16string& schemaName, const host::PropertyValue& value) override {
        NodeT& n = Live("PropertyAccessor.SetProperty");
        const std::u16string key = PropertyKey(schemaName);
        if (ReadOnly(n, TagOf(key)))
            throw HostError(kComputed, u"The property \"" + schemaName + u"\" cannot be set.");
        if (std::holds_alternative<std::monostate>(value))
            throw HostError(HostStatus::TypeMismatch, u"The value of the property \"" + schemaName + u"\" is empty.");
        n.properties[key] = value;
        item_->Edit();
    }
    void DeleteProperty(const std::u16string& schemaName) override {
        NodeT& n = Live("PropertyAccessor.DeleteProperty");
        const std::u16string key = PropertyKey(schemaName);
        // Documented: only custom (named) properties are deleted, never a MAPI property.
        if (!TagOf(key).empty())
            throw HostError(HostStatus::Fail, u"The property \"" + schemaName + u"\" cannot be deleted.");
        if (!n.properties.erase(key)) throw HostError(HostStatus::NotFound, Unknown(schemaName));
        item_->Edit();
    }

private:
    NodeT& Live(std::string_view member) {
        this->Enter(member);
        if (Deleted(*this->node_)) throw Gone("attachment");
        return *this->node_;
    }
    std::shared_ptr<ItemNode> item_;
};

std::shared_ptr<host::PropertyAccessor> AttachmentHandle::PropertyAccessor() {
    Live("Attachment.PropertyAccessor");
    if (world_->options.Major() < 12)
        throw HostError(HostStatus::MemberNotFound, u"Object doesn't support this property or method");
    if (Nothing("Attachment.PropertyAccessor")) return nullptr;
    return std::make_shared<PropertyAccessorHandle<AttachmentNode>>(world_, node_, item_);
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
                                          std::optional<int32_t> position,
                                          std::optional<std::u16string> displayName) override {
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
        node->position = position;
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
        if (!(node_->access & MapiAccess::Modify))
            throw HostError(HostStatus::NoAccess, u"You don't have appropriate permission to perform this operation.");
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
    // A plain or RTF item's HTMLBody is an HTML rendering in the host; the stand-in answers
    // empty, so an add-in cannot mistake it for the item's own HTML.
    std::u16string HTMLBody() override {
        Member("Item.HTMLBody", u"HTMLBody");
        return node_->htmlBody;
    }
    void SetHTMLBody(const std::u16string& html) override {
        Member("Item.HTMLBody=", u"HTMLBody");
        node_->SetHTMLBody(html);
        node_->Edit();
    }
    int32_t BodyFormat() override {
        Member("Item.BodyFormat", u"BodyFormat");
        return node_->bodyFormat;
    }
    std::u16string Body() override {
        Member("Item.Body", u"Body");
        return node_->body;
    }
    // What Body's setter does to an HTML item is not documented (and to an RTF one it can lose
    // embedded objects): the stand-in loses the formatting, the answer that costs a careless
    // add-in most.
    void SetBody(const std::u16string& text) override {
        Member("Item.Body=", u"Body");
        node_->SetPlainBody(text);
        node_->Edit();
    }
    std::string RTFBody() override {
        Member("Item.RTFBody", u"RTFBody");
        return node_->rtfBody;
    }
    void SetRTFBody(const std::string& bytes) override {
        Member("Item.RTFBody=", u"RTFBody");
        node_->SetRTFBody(bytes);
        node_->Edit();
    }
    std::u16string MessageClass() override {
        Member("Item.MessageClass", u"MessageClass");
        return node_->messageClass;
    }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override {
        Member("Item.PropertyAccessor", u"PropertyAccessor");
        if (Nothing("Item.PropertyAccessor")) return nullptr;
        return std::make_shared<PropertyAccessorHandle<ItemNode>>(world_, node_, node_);
    }
    std::u16string Subject() override {
        Enter("Item.Subject");
        return node_->subject;
    }

private:
    void Member(std::string_view logged, std::u16string_view name) {
        Enter(logged);
        if (!node_->Has(name, world_->options.Major()))
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
