// The host objects handed to the add-in: one small object per reference handed out (as the host's
// proxies are), each counted in the ledger while it lives, each call logged and open to injected
// failures.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <typeinfo>

#include "World.h"
#include "core/host/Explorer.h"
#include "base/Ascii.h"

namespace standin {

namespace {

HostError Gone(std::string_view what) {
    return HostError(HostStatus::Fail, u"The " + std::u16string(what.begin(), what.end()) + u" has been deleted.");
}

/// What two handles compare by: the node they stand for and the interface they present.
class Identity {
public:
    virtual ~Identity() = default;
    virtual const void* Node() const = 0;
    virtual const char* Kind() const = 0;
    virtual std::shared_ptr<void> SharedNode() const = 0;
};

template <class Interface, class NodeT>
class Handle : public Interface, public Identity {
public:
    Handle(std::shared_ptr<World> world, std::shared_ptr<NodeT> node, const char* kind)
        : world_(std::move(world)), node_(std::move(node)), kind_(kind) {
        world_->ledger.Acquire(kind_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() override { world_->ledger.Release(kind_); }

    bool SameObject(const host::Object& other) const override {
        const auto* id = dynamic_cast<const Identity*>(&other);
        return id && id->Node() == Node() && std::string_view(id->Kind()) == kind_;
    }
    const void* Node() const override { return node_.get(); }
    const char* Kind() const override { return kind_; }
    std::shared_ptr<void> SharedNode() const override { return node_; }

protected:
    void Enter(std::string_view member) const { world_->ledger.Enter(member); }
    /// For a member that returns an object, after Enter: whether Nothing is returned instead.
    bool Nothing(std::string_view member) const { return world_->ledger.Nothing(member); }

    std::shared_ptr<World> world_;
    std::shared_ptr<NodeT> node_;
    const char* kind_;
};

std::u16string FileNameOf(const std::u16string& path) { return path.substr(path.find_last_of(u"\\/") + 1); }

std::filesystem::path PathOf(const std::u16string& path) { return std::filesystem::path(path); }

// ---- command bars

class ControlsHandle;

class BarHandle final : public Handle<host::CommandBar, BarNode> {
public:
    BarHandle(std::shared_ptr<World> w, std::shared_ptr<BarNode> n) : Handle(std::move(w), std::move(n), "CommandBar") {}

    std::u16string Name() override { return Live("CommandBar.Name")->name; }
    bool Visible() override { return Live("CommandBar.Visible")->visible; }
    void SetVisible(bool value) override { Live("CommandBar.Visible=")->visible = value; }
    int32_t Protection() override { return Live("CommandBar.Protection")->protection; }
    void SetProtection(int32_t value) override { Live("CommandBar.Protection=")->protection = value; }
    std::shared_ptr<host::CommandBarControls> Controls() override;
    void Delete() override {
        Live("CommandBar.Delete");
        node_->deleted = true;
        for (auto& control : node_->controls) control->deleted = true;
        if (auto owner = node_->owner.lock()) std::erase(owner->bars, node_);
    }

private:
    BarNode* Live(std::string_view member) {
        Enter(member);
        if (node_->deleted) throw Gone("command bar");
        return node_.get();
    }
};

class ButtonHandle final : public Handle<host::CommandBarButton, ControlNode> {
public:
    ButtonHandle(std::shared_ptr<World> w, std::shared_ptr<ControlNode> n)
        : Handle(std::move(w), std::move(n), "CommandBarButton") {}

    std::u16string Caption() override { return Live("CommandBarControl.Caption")->caption; }
    void SetCaption(const std::u16string& v) override { Live("CommandBarControl.Caption=")->caption = v; }
    std::u16string OnAction() override { return Live("CommandBarControl.OnAction")->onAction; }
    void SetOnAction(const std::u16string& v) override { Live("CommandBarControl.OnAction=")->onAction = v; }
    std::u16string Tag() override { return Live("CommandBarControl.Tag")->tag; }
    void SetTag(const std::u16string& v) override { Live("CommandBarControl.Tag=")->tag = v; }
    bool Enabled() override { return Live("CommandBarControl.Enabled")->enabled; }
    void SetEnabled(bool v) override { Live("CommandBarControl.Enabled=")->enabled = v; }
    std::shared_ptr<host::CommandBar> Parent() override {
        Live("CommandBarControl.Parent");
        auto bar = node_->parent.lock();
        if (!bar || bar->deleted) throw Gone("control");
        if (Nothing("CommandBarControl.Parent")) return nullptr;
        return std::make_shared<BarHandle>(world_, bar);
    }
    void Delete(std::optional<bool>) override {
        Live("CommandBarControl.Delete");
        node_->deleted = true;
        if (auto bar = node_->parent.lock()) std::erase(bar->controls, node_);
    }
    std::shared_ptr<host::CommandBarButton> AsButton() override {
        Live("CommandBarControl.AsButton");
        return std::make_shared<ButtonHandle>(world_, node_);
    }

    int32_t Style() override { return Live("CommandBarButton.Style")->style; }
    void SetStyle(int32_t v) override { Live("CommandBarButton.Style=")->style = v; }
    int32_t FaceId() override { return Live("CommandBarButton.FaceId")->faceId; }
    void SetFaceId(int32_t v) override { Live("CommandBarButton.FaceId=")->faceId = v; }
    void SetPicture(const std::shared_ptr<host::Picture>& v) override {
        Live("CommandBarButton.Picture=")->picture = PictureMember(v);
    }
    void SetMask(const std::shared_ptr<host::Picture>& v) override {
        Live("CommandBarButton.Mask=")->mask = PictureMember(v);
    }
    host::Subscription Subscribe(host::ButtonEvents& sink) override {
        Live("CommandBarButton.Subscribe");
        const int id = world_->nextSubscription++;
        world_->clickSinks.push_back({id, node_, &sink});
        return host::Subscription([w = std::weak_ptr<World>(world_), id] {
            if (auto world = w.lock()) std::erase_if(world->clickSinks, [id](const ClickSink& s) { return s.id == id; });
        });
    }

private:
    ControlNode* Live(std::string_view member) {
        Enter(member);
        if (node_->deleted) throw Gone("control");
        return node_.get();
    }
    // The version 9 library's buttons have no such member; late binding fails as the host does.
    const void* PictureMember(const std::shared_ptr<host::Picture>& v) const {
        if (!world_->options.buttonPictures)
            throw HostError(HostStatus::MemberNotFound, u"Object doesn't support this property or method");
        if (!v) throw HostError(HostStatus::InvalidArg, u"A picture object is required");
        return v.get();
    }
};

class ControlsHandle final : public Handle<host::CommandBarControls, BarNode> {
public:
    ControlsHandle(std::shared_ptr<World> w, std::shared_ptr<BarNode> n)
        : Handle(std::move(w), std::move(n), "CommandBarControls") {}

    int32_t Count() override {
        Live("CommandBarControls.Count");
        return static_cast<int32_t>(node_->controls.size());
    }
    std::shared_ptr<host::CommandBarControl> Add(std::optional<int32_t> type, std::optional<int32_t> id,
                                                 std::optional<std::u16string>, std::optional<int32_t> before,
                                                 std::optional<bool> temporary) override {
        Live("CommandBarControls.Add");
        // A host that answers an Add with Nothing has added nothing.
        if (Nothing("CommandBarControls.Add")) return nullptr;
        if (type.value_or(host::msoControlButton) != host::msoControlButton)
            throw HostError(HostStatus::InvalidArg, u"Only buttons can be added");
        auto control = std::make_shared<ControlNode>();
        control->id = id.value_or(1);
        control->temporary = temporary.value_or(false);
        control->parent = node_;
        auto& list = node_->controls;
        if (before && (*before < 1 || *before > static_cast<int32_t>(list.size()) + 1))
            throw HostError(HostStatus::InvalidArg, u"Invalid position");
        list.insert(before ? list.begin() + (*before - 1) : list.end(), control);
        return std::make_shared<ButtonHandle>(world_, control);
    }

private:
    void Live(std::string_view member) {
        Enter(member);
        if (node_->deleted) throw Gone("command bar");
    }
};

std::shared_ptr<host::CommandBarControls> BarHandle::Controls() {
    Live("CommandBar.Controls");
    if (Nothing("CommandBar.Controls")) return nullptr;
    return std::make_shared<ControlsHandle>(world_, node_);
}

class CommandBarsHandle final : public Handle<host::CommandBars, BarSet> {
public:
    CommandBarsHandle(std::shared_ptr<World> w, std::shared_ptr<BarSet> n)
        : Handle(std::move(w), std::move(n), "CommandBars") {}

    std::shared_ptr<host::CommandBarControl> FindControl(std::optional<int32_t> type, std::optional<int32_t> id,
                                                         std::optional<std::u16string> tag,
                                                         std::optional<bool> visible) override {
        Enter("CommandBars.FindControl");
        if (Nothing("CommandBars.FindControl")) return nullptr;
        for (const auto& bar : node_->bars) {
            if (visible && *visible && !bar->visible) continue;
            for (const auto& control : bar->controls) {
                if (type && control->type != *type) continue;
                if (id && control->id != *id) continue;
                if (tag && control->tag != *tag) continue;
                return std::make_shared<ButtonHandle>(world_, control);
            }
        }
        return nullptr;
    }
    std::shared_ptr<host::CommandBar> Add(std::optional<std::u16string> name, std::optional<int32_t> position,
                                          std::optional<bool>, std::optional<bool> temporary) override {
        Enter("CommandBars.Add");
        if (Nothing("CommandBars.Add")) return nullptr;
        auto bar = std::make_shared<BarNode>();
        bar->name = name.value_or(u"Custom " + Number(node_->bars.size() + 1));
        bar->position = position.value_or(host::msoBarTop);
        bar->temporary = temporary.value_or(false);
        bar->owner = node_;
        node_->bars.push_back(bar);
        return std::make_shared<BarHandle>(world_, bar);
    }

private:
    static std::u16string Number(size_t n) {
        const std::string s = std::to_string(n);
        return {s.begin(), s.end()};
    }
};

// ---- items

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

// ---- windows and the application

class InspectorHandle final : public Handle<host::Inspector, InspectorNode> {
public:
    InspectorHandle(std::shared_ptr<World> w, std::shared_ptr<InspectorNode> n)
        : Handle(std::move(w), std::move(n), "Inspector") {}

    std::shared_ptr<host::Item> CurrentItem() override {
        Live("Inspector.CurrentItem");
        if (Nothing("Inspector.CurrentItem")) return nullptr;
        return std::make_shared<ItemHandle>(world_, node_->item);
    }
    std::shared_ptr<host::CommandBars> CommandBars() override {
        Live("Inspector.CommandBars");
        if (Nothing("Inspector.CommandBars")) return nullptr;
        return std::make_shared<CommandBarsHandle>(world_, node_->bars);
    }
    bool IsWordMail() override {
        Live("Inspector.IsWordMail");
        return node_->wordMail;
    }

private:
    void Live(std::string_view member) {
        Enter(member);
        if (!node_->open) throw HostError(HostStatus::Fail, u"The window has been closed.");
    }
};

class InspectorsHandle final : public Handle<host::Inspectors, CollectionNode> {
public:
    InspectorsHandle(std::shared_ptr<World> w)
        : Handle(w, w->inspectorsNode, "Inspectors") {}

    int32_t Count() override {
        Enter("Inspectors.Count");
        return static_cast<int32_t>(world_->inspectors.size());
    }
    std::shared_ptr<host::Inspector> Item(int32_t index) override {
        Enter("Inspectors.Item");
        if (index < 1 || index > static_cast<int32_t>(world_->inspectors.size()))
            throw HostError(HostStatus::InvalidArg, u"Array index out of bounds.");
        if (Nothing("Inspectors.Item")) return nullptr;
        return std::make_shared<InspectorHandle>(world_, world_->inspectors[static_cast<size_t>(index - 1)]);
    }
    host::Subscription Subscribe(host::InspectorsEvents& sink) override {
        Enter("Inspectors.Subscribe");
        const int id = world_->nextSubscription++;
        world_->inspectorsSinks.push_back({id, &sink});
        return host::Subscription([w = std::weak_ptr<World>(world_), id] {
            if (auto world = w.lock()) std::erase_if(world->inspectorsSinks, [id](const auto& s) { return s.id == id; });
        });
    }
};

class ExplorerHandle final : public Handle<host::Explorer, ExplorerNode> {
public:
    ExplorerHandle(std::shared_ptr<World> w, std::shared_ptr<ExplorerNode> n)
        : Handle(std::move(w), std::move(n), "Explorer") {}

    host::Subscription Subscribe(host::ExplorerEvents& sink) override {
        Enter("Explorer.Subscribe");
        const int id = world_->nextSubscription++;
        world_->explorerSinks.push_back({id, node_, &sink});
        return host::Subscription([w = std::weak_ptr<World>(world_), id] {
            if (auto world = w.lock()) std::erase_if(world->explorerSinks, [id](const auto& s) { return s.id == id; });
        });
    }
    std::shared_ptr<host::Selection> Selection() override;
    std::shared_ptr<host::AttachmentSelection> AttachmentSelection() override;
};

// The items selected when the host was asked; whether the host's collection follows later changes
// is not documented, and the add-in reads it at once.
class SelectionHandle final : public Handle<host::Selection, ExplorerNode> {
public:
    SelectionHandle(std::shared_ptr<World> w, std::shared_ptr<ExplorerNode> n)
        : Handle(std::move(w), n, "Selection"), items_(n->selection) {}

    int32_t Count() override {
        Enter("Selection.Count");
        return static_cast<int32_t>(items_.size());
    }
    std::shared_ptr<host::Item> Item(int32_t index) override {
        Enter("Selection.Item");
        if (index < 1 || index > static_cast<int32_t>(items_.size()))
            throw HostError(HostStatus::InvalidArg, u"Array index out of bounds.");
        if (Nothing("Selection.Item")) return nullptr;
        return std::make_shared<ItemHandle>(world_, items_[static_cast<size_t>(index - 1)]);
    }

private:
    std::vector<std::shared_ptr<ItemNode>> items_;
};

class AttachmentSelectionHandle final : public Handle<host::AttachmentSelection, ExplorerNode> {
public:
    AttachmentSelectionHandle(std::shared_ptr<World> w, std::shared_ptr<ExplorerNode> n)
        : Handle(std::move(w), n, "AttachmentSelection"), item_(n->pane), attachments_(n->selectedAttachments) {}

    int32_t Count() override {
        Enter("AttachmentSelection.Count");
        return static_cast<int32_t>(attachments_.size());
    }
    std::shared_ptr<host::Attachment> Item(int32_t index) override {
        Enter("AttachmentSelection.Item");
        if (index < 1 || index > static_cast<int32_t>(attachments_.size()))
            throw HostError(HostStatus::InvalidArg, u"Array index out of bounds.");
        if (Nothing("AttachmentSelection.Item")) return nullptr;
        return std::make_shared<AttachmentHandle>(world_, attachments_[static_cast<size_t>(index - 1)], item_);
    }

private:
    std::shared_ptr<ItemNode> item_;
    std::vector<std::shared_ptr<AttachmentNode>> attachments_;
};

std::shared_ptr<host::Selection> ExplorerHandle::Selection() {
    Enter("Explorer.Selection");
    if (Nothing("Explorer.Selection")) return nullptr;
    return std::make_shared<SelectionHandle>(world_, node_);
}

std::shared_ptr<host::AttachmentSelection> ExplorerHandle::AttachmentSelection() {
    Enter("Explorer.AttachmentSelection");
    if (world_->options.Major() < 14)
        throw HostError(HostStatus::MemberNotFound, u"Object doesn't support this property or method");
    if (Nothing("Explorer.AttachmentSelection")) return nullptr;
    return std::make_shared<AttachmentSelectionHandle>(world_, node_);
}

class ExplorersHandle final : public Handle<host::Explorers, CollectionNode> {
public:
    ExplorersHandle(std::shared_ptr<World> w) : Handle(w, w->explorersNode, "Explorers") {}

    int32_t Count() override {
        Enter("Explorers.Count");
        return static_cast<int32_t>(world_->explorers.size());
    }
};

class ApplicationHandle final : public Handle<host::Application, World> {
public:
    explicit ApplicationHandle(std::shared_ptr<World> w) : Handle(w, w, "Application") {}

    std::u16string Version() override {
        Enter("Application.Version");
        return world_->options.version;
    }
    std::shared_ptr<host::Explorer> ActiveExplorer() override {
        Enter("Application.ActiveExplorer");
        if (Nothing("Application.ActiveExplorer")) return nullptr;
        auto active = world_->activeExplorer.lock();
        return active ? std::make_shared<ExplorerHandle>(world_, active) : nullptr;
    }
    std::shared_ptr<host::Inspector> ActiveInspector() override {
        Enter("Application.ActiveInspector");
        if (Nothing("Application.ActiveInspector")) return nullptr;
        auto active = world_->activeInspector.lock();
        return active ? std::make_shared<InspectorHandle>(world_, active) : nullptr;
    }
    std::shared_ptr<host::Inspectors> Inspectors() override {
        Enter("Application.Inspectors");
        if (Nothing("Application.Inspectors")) return nullptr;
        return std::make_shared<InspectorsHandle>(world_);
    }
    std::shared_ptr<host::Explorers> Explorers() override {
        Enter("Application.Explorers");
        if (Nothing("Application.Explorers")) return nullptr;
        return std::make_shared<ExplorersHandle>(world_);
    }
    host::Subscription Subscribe(host::ApplicationEvents& sink) override {
        Enter("Application.Subscribe");
        const int id = world_->nextSubscription++;
        world_->applicationSinks.push_back({id, &sink});
        return host::Subscription([w = std::weak_ptr<World>(world_), id] {
            if (auto world = w.lock())
                std::erase_if(world->applicationSinks, [id](const auto& s) { return s.id == id; });
        });
    }
};

// ---- the ribbon (hosts of version 12 and later)

class RibbonUIHandle final : public Handle<host::RibbonUI, RibbonNode> {
public:
    RibbonUIHandle(std::shared_ptr<World> w, std::shared_ptr<RibbonNode> n)
        : Handle(std::move(w), std::move(n), "RibbonUI") {}

    void Invalidate() override {
        Enter("RibbonUI.Invalidate");
        node_->invalidAll = true;
    }
    void InvalidateControl(const std::u16string& controlId) override {
        Enter("RibbonUI.InvalidateControl");
        node_->invalid.push_back(controlId);
    }
};

class RibbonControlHandle final : public Handle<host::RibbonControl, RibbonControlNode> {
public:
    RibbonControlHandle(std::shared_ptr<World> w, std::shared_ptr<RibbonControlNode> n)
        : Handle(std::move(w), std::move(n), "RibbonControl") {}

    std::u16string Id() override {
        Enter("RibbonControl.Id");
        return node_->id;
    }
    host::RibbonContext Context() override {
        Enter("RibbonControl.Context");
        host::RibbonContext context;
        if (Nothing("RibbonControl.Context")) return context;
        if (node_->place == RibbonPlace::ItemWindow) {
            if (auto window = node_->window.lock()) context.inspector = std::make_shared<InspectorHandle>(world_, window);
            return context;
        }
        const auto explorer = node_->explorer.lock();
        if (!explorer) return context;
        switch (node_->place) {
        case RibbonPlace::MainWindow:
            context.explorer = std::make_shared<ExplorerHandle>(world_, explorer);
            break;
        case RibbonPlace::ItemMenu:
            context.selection = std::make_shared<SelectionHandle>(world_, explorer);
            break;
        default:
            context.attachments = std::make_shared<AttachmentSelectionHandle>(world_, explorer);
            break;
        }
        return context;
    }
    std::u16string Tag() override {
        Enter("RibbonControl.Tag");
        return node_->tag;
    }
};

class PropertyPagesHandle final : public Handle<host::PropertyPages, PagesNode> {
public:
    PropertyPagesHandle(std::shared_ptr<World> w, std::shared_ptr<PagesNode> n)
        : Handle(std::move(w), std::move(n), "PropertyPages") {}

    void Add(const std::u16string& page, std::optional<std::u16string> title) override {
        Enter("PropertyPages.Add");
        node_->pages.push_back({page, std::move(title)});
    }
};

class AddInInstanceHandle final : public Handle<host::AddInInstance, AddInNode> {
public:
    AddInInstanceHandle(std::shared_ptr<World> w, std::shared_ptr<AddInNode> n)
        : Handle(std::move(w), std::move(n), "AddInInstance") {}

    std::u16string ProgId() override {
        Enter("AddInInstance.ProgId");
        return node_->progId;
    }
};

}  // namespace

std::shared_ptr<host::Explorer> MakeExplorer(const std::shared_ptr<World>& world,
                                             const std::shared_ptr<ExplorerNode>& node) {
    return std::make_shared<ExplorerHandle>(world, node);
}

std::shared_ptr<void> NodeOf(const host::Object& object) {
    const auto* id = dynamic_cast<const Identity*>(&object);
    return id ? id->SharedNode() : nullptr;
}

std::shared_ptr<host::Application> MakeApplication(const std::shared_ptr<World>& world) {
    return std::make_shared<ApplicationHandle>(world);
}
std::shared_ptr<host::Inspector> MakeInspector(const std::shared_ptr<World>& world,
                                               const std::shared_ptr<InspectorNode>& node) {
    return std::make_shared<InspectorHandle>(world, node);
}
std::shared_ptr<host::Item> MakeItem(const std::shared_ptr<World>& world, const std::shared_ptr<ItemNode>& node) {
    return std::make_shared<ItemHandle>(world, node);
}
std::shared_ptr<host::CommandBarButton> MakeButton(const std::shared_ptr<World>& world,
                                                   const std::shared_ptr<ControlNode>& node) {
    return std::make_shared<ButtonHandle>(world, node);
}
std::shared_ptr<host::PropertyPages> MakePropertyPages(const std::shared_ptr<World>& world,
                                                       const std::shared_ptr<PagesNode>& node) {
    return std::make_shared<PropertyPagesHandle>(world, node);
}
std::shared_ptr<host::RibbonUI> MakeRibbonUI(const std::shared_ptr<World>& world,
                                             const std::shared_ptr<RibbonNode>& node) {
    return std::make_shared<RibbonUIHandle>(world, node);
}
std::shared_ptr<host::RibbonControl> MakeRibbonControl(const std::shared_ptr<World>& world,
                                                       const std::shared_ptr<RibbonControlNode>& node) {
    return std::make_shared<RibbonControlHandle>(world, node);
}
std::shared_ptr<host::AddInInstance> MakeAddInInstance(const std::shared_ptr<World>& world,
                                                       const std::shared_ptr<AddInNode>& node) {
    return std::make_shared<AddInInstanceHandle>(world, node);
}

}  // namespace standin
