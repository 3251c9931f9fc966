#include "standin/model/Host.h"

#include <algorithm>

#include "standin/model/World.h"

namespace standin {

int HostOptions::Major() const {
    int major = 0;
    for (char16_t c : version) {
        if (c < u'0' || c > u'9') return c == u'.' ? major : 0;
        if (major > 100000) return 0;
        major = major * 10 + (c - u'0');
    }
    return 0;
}

Host::Host(std::shared_ptr<CommandBarStore> store, HostOptions options) : world_(std::make_shared<World>()) {
    world_->store = std::move(store);
    world_->options = std::move(options);
}

Host::~Host() = default;

Ledger& Host::ledger() { return world_->ledger; }

HostOptions& Host::options() { return world_->options; }

void Host::FileChosen(const std::u16string& path) { world_->chosen.push_back(path); }

std::shared_ptr<host::Application> Host::Application() { return MakeApplication(world_); }

std::shared_ptr<host::AddInInstance> Host::AddInInstance(std::u16string progId) {
    auto node = std::make_shared<AddInNode>();
    node->progId = std::move(progId);
    return MakeAddInInstance(world_, node);
}

std::shared_ptr<host::Item> Host::ItemObject(const std::shared_ptr<ItemNode>& item) { return MakeItem(world_, item); }

std::shared_ptr<host::Inspector> Host::InspectorObject(const std::shared_ptr<InspectorNode>& inspector) {
    return MakeInspector(world_, inspector);
}

std::shared_ptr<host::Explorer> Host::ExplorerObject(const std::shared_ptr<ExplorerNode>& explorer) {
    return MakeExplorer(world_, explorer);
}

std::shared_ptr<host::RibbonUI> Host::RibbonUIObject(const std::shared_ptr<RibbonNode>& ribbon) {
    return MakeRibbonUI(world_, ribbon);
}

std::shared_ptr<host::RibbonControl> Host::RibbonControlObject(const std::shared_ptr<RibbonControlNode>& control) {
    return MakeRibbonControl(world_, control);
}

std::shared_ptr<ExplorerNode> Host::OpenExplorer() {
    auto explorer = std::make_shared<ExplorerNode>();
    explorer->bars = CopyPersistentBars(world_->store->explorer);
    world_->explorers.push_back(explorer);
    world_->activeExplorer = explorer;
    world_->RaiseEach(
        world_->explorersSinks, [](const auto&) { return true; },
        [&](host::ExplorersEvents& sink) { sink.NewExplorer(MakeExplorer(world_, explorer)); });
    return explorer;
}

void Host::CloseExplorer(const std::shared_ptr<ExplorerNode>& explorer, bool raiseClose) {
    if (!explorer->open) return;
    if (raiseClose)
        world_->RaiseEach(
            world_->explorerSinks, [&](const ExplorerSink& s) { return s.explorer.lock() == explorer; },
            [](host::ExplorerEvents& sink) { sink.Close(); });
    world_->store->explorer = *CopyPersistentBars(*explorer->bars);
    explorer->open = false;
    std::erase(world_->explorers, explorer);
    if (world_->activeExplorer.lock() == nullptr || world_->activeExplorer.lock() == explorer)
        world_->activeExplorer = world_->explorers.empty() ? nullptr : world_->explorers.back();
}

void Host::ChangeSelection(const std::shared_ptr<ExplorerNode>& explorer) {
    world_->RaiseEach(
        world_->explorerSinks, [&](const ExplorerSink& s) { return s.explorer.lock() == explorer; },
        [](host::ExplorerEvents& sink) { sink.SelectionChange(); });
}

void Host::Select(const std::shared_ptr<ExplorerNode>& explorer, std::vector<std::shared_ptr<ItemNode>> items) {
    explorer->pane = items.empty() ? nullptr : items.front();
    explorer->selection = std::move(items);
    explorer->selectedAttachments.clear();
    ChangeSelection(explorer);
}

void Host::SelectAttachments(const std::shared_ptr<ExplorerNode>& explorer,
                             std::vector<std::shared_ptr<AttachmentNode>> attachments) {
    explorer->selectedAttachments = std::move(attachments);
}

std::shared_ptr<InspectorNode> Host::OpenInspector(const std::shared_ptr<ItemNode>& item, bool wordMail) {
    auto inspector = std::make_shared<InspectorNode>();
    inspector->item = item;
    // From version 12 the word processor edits every item window (Inspector.EditorType).
    inspector->wordMail = wordMail || world_->options.Major() >= 12;
    inspector->bars = CopyPersistentBars(world_->store->inspector);
    world_->inspectors.push_back(inspector);
    world_->activeInspector = inspector;
    world_->RaiseEach(
        world_->inspectorsSinks, [](const auto&) { return true; },
        [&](host::InspectorsEvents& sink) { sink.NewInspector(MakeInspector(world_, inspector)); });
    return inspector;
}

void Host::CloseInspector(const std::shared_ptr<InspectorNode>& inspector) {
    if (!inspector->open) return;
    // The host writes the state of the window closed last; the next windows start from it.
    world_->store->inspector = *CopyPersistentBars(*inspector->bars);
    inspector->open = false;
    std::erase(world_->inspectors, inspector);
    if (world_->activeInspector.lock() == nullptr || world_->activeInspector.lock() == inspector)
        world_->activeInspector = world_->inspectors.empty() ? nullptr : world_->inspectors.back();
}

void Host::Activate(const std::shared_ptr<InspectorNode>& inspector) { world_->activeInspector = inspector; }

void Host::Click(const std::shared_ptr<ControlNode>& button) {
    if (button->deleted) return;
    const std::u16string tag = button->tag;
    world_->RaiseEach(
        world_->clickSinks,
        [&](const ClickSink& s) {
            auto subscribed = s.button.lock();
            return subscribed && (subscribed == button || (!tag.empty() && subscribed->tag == tag));
        },
        [&](host::ButtonEvents& sink) {
            bool cancelDefault = false;
            sink.Click(MakeButton(world_, button), cancelDefault);
        });
}

void Host::DeleteByHand(const std::shared_ptr<ControlNode>& button) {
    button->deleted = true;
    if (auto bar = button->parent.lock()) std::erase(bar->controls, button);
}

bool Host::Send(const std::shared_ptr<ItemNode>& item) {
    bool cancel = false;
    world_->RaiseEach(
        world_->applicationSinks, [](const auto&) { return true; },
        [&](host::ApplicationEvents& sink) { sink.ItemSend(MakeItem(world_, item), cancel); });
    if (cancel) return false;
    std::erase_if(item->attachments, [&](const auto& a) {
        if (a->type != host::AttachmentType::ByReference) return false;
        world_->sentLinks.push_back({item, a});
        return true;
    });
    for (auto& a : item->attachments) a->added = false;
    item->sent = true;
    item->saved = true;
    return true;
}

std::vector<PageEntry> Host::OpenOptionsDialog() {
    auto pages = std::make_shared<PagesNode>();
    world_->RaiseEach(
        world_->applicationSinks, [](const auto&) { return true; },
        [&](host::ApplicationEvents& sink) { sink.OptionsPagesAdd(MakePropertyPages(world_, pages)); });
    return pages->pages;
}

void Host::CloseAllWindows() {
    while (!world_->inspectors.empty()) CloseInspector(world_->inspectors.front());
    while (!world_->explorers.empty()) CloseExplorer(world_->explorers.front());
}

const std::vector<std::shared_ptr<InspectorNode>>& Host::Inspectors() const { return world_->inspectors; }

const std::vector<std::shared_ptr<ExplorerNode>>& Host::Explorers() const { return world_->explorers; }

std::shared_ptr<InspectorNode> Host::ActiveInspector() const { return world_->activeInspector.lock(); }

std::shared_ptr<ExplorerNode> Host::ActiveExplorer() const { return world_->activeExplorer.lock(); }

std::vector<std::shared_ptr<ControlNode>> Host::ControlsWithTag(const std::u16string& tag) const {
    std::vector<std::shared_ptr<ControlNode>> found;
    auto collect = [&](const BarSet& set) {
        for (const auto& bar : set.bars)
            for (const auto& control : bar->controls)
                if (control->tag == tag) found.push_back(control);
    };
    for (const auto& e : world_->explorers) collect(*e->bars);
    for (const auto& i : world_->inspectors) collect(*i->bars);
    return found;
}

std::vector<std::shared_ptr<BarNode>> Host::BarsNamed(const std::u16string& name) const {
    std::vector<std::shared_ptr<BarNode>> found;
    auto collect = [&](const BarSet& set) {
        for (const auto& bar : set.bars)
            if (bar->name == name) found.push_back(bar);
    };
    for (const auto& e : world_->explorers) collect(*e->bars);
    for (const auto& i : world_->inspectors) collect(*i->bars);
    return found;
}

const std::vector<HostError>& Host::EventFailures() const { return world_->eventFailures; }

}  // namespace standin
