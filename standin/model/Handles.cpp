// The host objects handed to the add-in: the application, its windows and their selections, the
// ribbon's objects, the Options dialog's pages and the add-in's own instance (command bars and items
// have files of their own).
#include <algorithm>

#include "standin/model/Handle.h"

namespace standin {

namespace {

// ---- windows and the application

class InspectorHandle final : public Handle<host::Inspector, InspectorNode> {
public:
    InspectorHandle(std::shared_ptr<World> w, std::shared_ptr<InspectorNode> n)
        : Handle(std::move(w), std::move(n), "Inspector") {}

    std::shared_ptr<host::Item> CurrentItem() override {
        Live("Inspector.CurrentItem");
        if (Nothing("Inspector.CurrentItem")) return nullptr;
        return MakeItem(world_, node_->item);
    }
    std::shared_ptr<host::CommandBars> CommandBars() override {
        Live("Inspector.CommandBars");
        if (Nothing("Inspector.CommandBars")) return nullptr;
        return MakeCommandBars(world_, node_->bars);
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
        return MakeItem(world_, items_[static_cast<size_t>(index - 1)]);
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
        return MakeAttachment(world_, attachments_[static_cast<size_t>(index - 1)], item_);
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
    std::shared_ptr<host::Explorer> Item(int32_t index) override {
        Enter("Explorers.Item");
        if (index < 1 || index > static_cast<int32_t>(world_->explorers.size()))
            throw HostError(HostStatus::InvalidArg, u"Array index out of bounds.");
        if (Nothing("Explorers.Item")) return nullptr;
        return std::make_shared<ExplorerHandle>(world_, world_->explorers[static_cast<size_t>(index - 1)]);
    }
    host::Subscription Subscribe(host::ExplorersEvents& sink) override {
        Enter("Explorers.Subscribe");
        const int id = world_->nextSubscription++;
        world_->explorersSinks.push_back({id, &sink});
        return host::Subscription([w = std::weak_ptr<World>(world_), id] {
            if (auto world = w.lock()) std::erase_if(world->explorersSinks, [id](const auto& s) { return s.id == id; });
        });
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
