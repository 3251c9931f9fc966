#pragma once
// The in-memory host: the host's objects as the add-in sees them, and the actions of the user and
// of the host itself (open windows, click, send, quit) that raise the host's events.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/core/host/AddInInstance.h"
#include "addin/core/host/Application.h"
#include "addin/core/host/Explorer.h"
#include "addin/core/host/Item.h"
#include "addin/core/host/Ribbon.h"
#include "base/HostError.h"
#include "standin/model/Audit.h"
#include "standin/model/Ledger.h"
#include "standin/model/Model.h"

namespace standin {

struct World;

/// How the simulated host presents itself.
/// What Attachments.Add(path, by reference) makes on hosts of version 12 and later, which no longer
/// support links: nothing (the call fails), a copy by value, or a link as before.
enum class ByReference { Refuse, Copy, Link };

struct HostOptions {
    /// The application's Version text.
    std::u16string version = u"9.0.0.2711";
    /// Whether buttons have the Picture and Mask members (hosts after the version 9 library).
    bool buttonPictures = false;
    /// The object-model guard of versions 9 to 11 under security settings that prompt: the user
    /// answers No, and each protected member read (SenderName) fails with HostStatus::GuardRefused.
    /// From version 12 add-ins the host loads are trusted and never prompted.
    bool guardRefuses = false;
    /// Attachments.Add(path, by reference) from version 12 (earlier versions make a link).
    ByReference byReference = ByReference::Copy;

    /// The major version, the number before the first "." of `version` (0 when there is none).
    int Major() const;
};

/// A page added to the Options dialog.
struct PageEntry {
    std::u16string page;
    std::optional<std::u16string> title;
};

/// One run of the host. Command bars that are not temporary are written to `store` when their
/// window closes; a later Host made with the same store finds them again.
class Host {
public:
    explicit Host(std::shared_ptr<CommandBarStore> store = std::make_shared<CommandBarStore>(),
                  HostOptions options = {});
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host();

    /// Calls, injected failures and the host object references still held.
    Ledger& ledger();
    /// How the host presents itself; changes take effect from the next call.
    HostOptions& options();

    /// The application object as the host hands it to an add-in.
    std::shared_ptr<host::Application> Application();
    /// The add-in instance object for an add-in loaded under `progId`.
    std::shared_ptr<host::AddInInstance> AddInInstance(std::u16string progId);
    /// An item as a host object, e.g. to pass to the add-in directly.
    std::shared_ptr<host::Item> ItemObject(const std::shared_ptr<ItemNode>& item);
    std::shared_ptr<host::Inspector> InspectorObject(const std::shared_ptr<InspectorNode>& inspector);
    std::shared_ptr<host::Explorer> ExplorerObject(const std::shared_ptr<ExplorerNode>& explorer);
    /// The ribbon's objects, as a ribbon host hands them to an add-in's callbacks.
    std::shared_ptr<host::RibbonUI> RibbonUIObject(const std::shared_ptr<RibbonNode>& ribbon);
    std::shared_ptr<host::RibbonControl> RibbonControlObject(const std::shared_ptr<RibbonControlNode>& control);

    /// Opens a main window with the kept explorer bars; it becomes the active explorer, then
    /// NewExplorer is raised.
    std::shared_ptr<ExplorerNode> OpenExplorer();
    /// Raises the explorer's Close (unless `raiseClose` is false: a host exiting without a word),
    /// keeps its bars and closes it.
    void CloseExplorer(const std::shared_ptr<ExplorerNode>& explorer, bool raiseClose = true);
    /// The user selects something else in the explorer: raises SelectionChange.
    void ChangeSelection(const std::shared_ptr<ExplorerNode>& explorer);
    /// The user selects `items` in the explorer's list (the reading pane then shows the first, with
    /// no attachment selected): raises SelectionChange.
    void Select(const std::shared_ptr<ExplorerNode>& explorer, std::vector<std::shared_ptr<ItemNode>> items);
    /// The user selects `attachments` of the item the explorer's reading pane shows; no event.
    void SelectAttachments(const std::shared_ptr<ExplorerNode>& explorer,
                           std::vector<std::shared_ptr<AttachmentNode>> attachments);

    /// Opens an item window with the kept inspector bars; it becomes the active inspector, then
    /// NewInspector is raised. `wordMail` asks for the word processor as the window's editor on
    /// versions 9 to 11; from version 12 it is every window's only editor.
    std::shared_ptr<InspectorNode> OpenInspector(const std::shared_ptr<ItemNode>& item, bool wordMail = false);
    /// Keeps the window's bars (for the next windows and the next run) and closes it.
    void CloseInspector(const std::shared_ptr<InspectorNode>& inspector);
    void Activate(const std::shared_ptr<InspectorNode>& inspector);

    /// The user clicks `button`: Click is raised for every subscription on a button with its tag.
    void Click(const std::shared_ptr<ControlNode>& button);
    /// The user deletes a control by hand (customizing the toolbar).
    void DeleteByHand(const std::shared_ptr<ControlNode>& button);
    /// The user sends `item`: ItemSend is raised; unless cancelled the message is sent and loses its
    /// by-reference attachments. Returns whether it was sent.
    bool Send(const std::shared_ptr<ItemNode>& item);
    /// The user opens the Options dialog: OptionsPagesAdd is raised; returns the pages added.
    std::vector<PageEntry> OpenOptionsDialog();
    /// The host shuts down its windows: every inspector, then every explorer (raising Close).
    void CloseAllWindows();

    const std::vector<std::shared_ptr<InspectorNode>>& Inspectors() const;
    /// The active item window and main window; empty when none is open.
    std::shared_ptr<InspectorNode> ActiveInspector() const;
    std::shared_ptr<ExplorerNode> ActiveExplorer() const;
    const std::vector<std::shared_ptr<ExplorerNode>>& Explorers() const;
    /// The controls with `tag` in the bars of all open windows.
    std::vector<std::shared_ptr<ControlNode>> ControlsWithTag(const std::u16string& tag) const;
    /// The bars named `name` in the bars of all open windows.
    std::vector<std::shared_ptr<BarNode>> BarsNamed(const std::u16string& name) const;
    /// Failures event sinks returned to the host.
    const std::vector<HostError>& EventFailures() const;

    /// The system's Save As dialog gave the add-in `path`: a file it may leave there (Audit's check of
    /// the files the add-in wrote).
    void FileChosen(const std::u16string& path);

    /// Checks what the add-in marked by `marks` left: call after it was released. With `unloaded`
    /// the add-in was unloaded while the host ran (no button of it may be left in an open window).
    HostAudit Audit(const AddInMarks& marks, bool unloaded) const;

private:
    std::shared_ptr<World> world_;
};

/// The model node a host object of this model stands for (ItemNode for an item, InspectorNode for
/// an inspector, ControlNode for a button, ...); null for an object this model did not hand out.
std::shared_ptr<void> NodeOf(const host::Object& object);

}  // namespace standin
