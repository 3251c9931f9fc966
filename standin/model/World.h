#pragma once
// Internal: the running host's state shared by the Host face and the host objects it hands out.
#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "addin/core/host/AddInInstance.h"
#include "addin/core/host/Application.h"
#include "addin/core/host/CommandBars.h"
#include "addin/core/host/Events.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Item.h"
#include "addin/core/host/PropertyPages.h"
#include "addin/core/host/Ribbon.h"
#include "base/HostError.h"
#include "standin/model/Host.h"
#include "standin/model/Ledger.h"
#include "standin/model/Model.h"

namespace standin {

template <class Sink>
struct SinkEntry {
    int id;
    Sink* sink;
};

struct ClickSink {
    int id;
    std::weak_ptr<ControlNode> button;
    host::ButtonEvents* sink;
};

struct ExplorerSink {
    int id;
    std::weak_ptr<ExplorerNode> explorer;
    host::ExplorerEvents* sink;
};

struct PagesNode {
    std::vector<PageEntry> pages;
};

struct AddInNode {
    std::u16string progId;
};

/// An attachment the add-in removed, and the item it was removed from.
struct RemovedAttachment {
    std::shared_ptr<ItemNode> item;
    std::shared_ptr<AttachmentNode> attachment;
};

/// Identity of the host's singleton collection objects.
struct CollectionNode {};

struct World {
    Ledger ledger;
    HostOptions options;
    std::shared_ptr<CommandBarStore> store;

    std::vector<std::shared_ptr<ExplorerNode>> explorers;
    std::vector<std::shared_ptr<InspectorNode>> inspectors;
    std::weak_ptr<ExplorerNode> activeExplorer;
    std::weak_ptr<InspectorNode> activeInspector;
    std::shared_ptr<CollectionNode> explorersNode = std::make_shared<CollectionNode>();
    std::shared_ptr<CollectionNode> inspectorsNode = std::make_shared<CollectionNode>();

    int nextSubscription = 1;
    std::vector<SinkEntry<host::ApplicationEvents>> applicationSinks;
    std::vector<SinkEntry<host::InspectorsEvents>> inspectorsSinks;
    std::vector<SinkEntry<host::ExplorersEvents>> explorersSinks;
    std::vector<ExplorerSink> explorerSinks;
    std::vector<ClickSink> clickSinks;
    std::vector<HostError> eventFailures;
    std::vector<std::string> eventExceptions;
    std::vector<RemovedAttachment> removed;
    /// The links a send took from their messages (the user was asked first).
    std::vector<RemovedAttachment> sentLinks;
    /// Every path Attachment.SaveAsFile wrote to, and every path the system's Save As dialog gave the
    /// add-in (Host::FileChosen): a file written under any other name must be gone after a run.
    std::vector<std::u16string> written;
    std::vector<std::u16string> chosen;

    /// Calls `raise` for each entry of `sinks` that is still subscribed when its turn comes; a
    /// sink's failure is recorded and the host carries on, as it does with a failing event sink.
    /// Anything else a sink throws is recorded too: it would have crossed the host's boundary.
    template <class Entry, class Pick, class Raise>
    void RaiseEach(const std::vector<Entry>& sinks, Pick pick, Raise raise) {
        std::vector<int> ids;
        for (const auto& e : sinks)
            if (pick(e)) ids.push_back(e.id);
        for (int id : ids) {
            const auto& current = sinks;
            auto it = std::find_if(current.begin(), current.end(), [id](const Entry& e) { return e.id == id; });
            if (it == current.end()) continue;
            auto* sink = it->sink;
            try {
                raise(*sink);
            } catch (const HostError& e) {
                eventFailures.push_back(e);
            } catch (const std::exception& e) {
                eventExceptions.emplace_back(e.what());
            } catch (...) {
                eventExceptions.emplace_back("an exception of unknown type");
            }
        }
    }
};

std::shared_ptr<host::Application> MakeApplication(const std::shared_ptr<World>& world);
std::shared_ptr<host::Explorer> MakeExplorer(const std::shared_ptr<World>& world,
                                             const std::shared_ptr<ExplorerNode>& node);
std::shared_ptr<host::Inspector> MakeInspector(const std::shared_ptr<World>& world,
                                               const std::shared_ptr<InspectorNode>& node);
std::shared_ptr<host::Item> MakeItem(const std::shared_ptr<World>& world, const std::shared_ptr<ItemNode>& node);
std::shared_ptr<host::CommandBarButton> MakeButton(const std::shared_ptr<World>& world,
                                                   const std::shared_ptr<ControlNode>& node);
std::shared_ptr<host::PropertyPages> MakePropertyPages(const std::shared_ptr<World>& world,
                                                       const std::shared_ptr<PagesNode>& node);
std::shared_ptr<host::RibbonUI> MakeRibbonUI(const std::shared_ptr<World>& world,
                                             const std::shared_ptr<RibbonNode>& node);
std::shared_ptr<host::RibbonControl> MakeRibbonControl(const std::shared_ptr<World>& world,
                                                       const std::shared_ptr<RibbonControlNode>& node);
std::shared_ptr<host::AddInInstance> MakeAddInInstance(const std::shared_ptr<World>& world,
                                                       const std::shared_ptr<AddInNode>& node);

}  // namespace standin
