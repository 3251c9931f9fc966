#pragma once
// The state of the in-memory host: items and attachments, windows, command bars. Plain data that
// the host's objects (Handles.cpp) and the host's own actions (Host.h) work on.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "addin/core/host/DateTime.h"
#include "addin/core/host/Item.h"

namespace standin {

/// The item kinds of the host, each with the members its class has.
enum class ItemKind { Mail, Post, Note, Appointment, Contact, Task, Meeting, Report, Journal, DistList };

/// PR_ACCESS's flags (PidTagAccess); the create flags are found on folders only.
namespace MapiAccess {
inline constexpr int32_t Modify = 0x1;
inline constexpr int32_t Read = 0x2;
inline constexpr int32_t Delete = 0x4;
/// An item of the user's own folders.
inline constexpr int32_t Owner = Modify | Read | Delete;
}  // namespace MapiAccess

/// MAPI properties set through a PropertyAccessor, by the name PropertyKey gives them.
using PropertyMap = std::map<std::u16string, host::PropertyValue>;

/// One attachment. By-value, embedded and OLE attachments carry their content; a by-reference
/// attachment keeps the path of the file it points to.
struct AttachmentNode {
    int32_t type = 1;
    std::u16string fileName;
    std::u16string displayName;
    std::string content;
    std::u16string source;
    bool deleted = false;
    /// Added through Attachments.Add since the item was last saved: the host reports Type 6 (OLE)
    /// for it until then, whatever it is.
    bool added = false;
    /// The MAPI properties the host's own list reads: PR_ATTACHMENT_HIDDEN (absent when empty) and
    /// PR_ATTACH_CONTENT_ID (absent when empty).
    std::optional<bool> hidden;
    std::u16string contentId;
    /// The place in the body's text Attachments.Add was given; the collection's order is not
    /// changed by it.
    std::optional<int32_t> position;
    PropertyMap properties;
};

/// One item.
struct ItemNode {
    explicit ItemNode(ItemKind k);

    ItemKind kind;
    bool saved = true;
    bool sent = false;
    int saveCount = 0;
    std::u16string subject;
    std::u16string senderName;
    host::DateTime sentOn;
    std::vector<std::shared_ptr<AttachmentNode>> attachments;
    /// The body: its format (host::BodyFormat), its text (Body), and for an HTML item the HTML, for
    /// an RTF item the RTF's bytes; each empty where the format is another.
    int32_t bodyFormat = host::BodyFormat::Plain;
    std::u16string body;
    std::u16string htmlBody;
    std::string rtfBody;
    /// "IPM.Note", ...: the kind's class unless the item was made with another.
    std::u16string messageClass;
    PropertyMap properties;
    /// PR_ACCESS: what the user may do with the item (MapiAccess).
    int32_t access = MapiAccess::Owner;
    /// The kind of window the host shows the item in, as the last part of its ribbon id
    /// ("Response.CounterPropose", "Resend", "RSS", ...), where the item's kind does not tell it;
    /// empty for the window of its kind.
    std::u16string window;

    /// The type name the item's type information reports: "MailItem", "NoteItem", ...
    std::u16string TypeName() const;
    /// Whether the item's class has `member` (Attachments, Saved, Save, Sent, SenderName, SentOn,
    /// HTMLBody, BodyFormat, Body, RTFBody, MessageClass, PropertyAccessor) in any version.
    bool Has(std::u16string_view member) const;
    /// Whether it has `member` in the host of version `major` (RTFBody from 14, PropertyAccessor
    /// from 12).
    bool Has(std::u16string_view member, int major) const;

    // The body as the item has it; the host's setters also mark the item unsaved.
    /// The body becomes `html`, its text the HTML's (HTMLBody's setter).
    void SetHTMLBody(std::u16string html);
    /// The body becomes the RTF `rtf`, its text the RTF's (RTFBody's setter).
    void SetRTFBody(std::string rtf);
    /// The body becomes the plain `text`: HTML or RTF formatting is lost (Body's setter).
    void SetPlainBody(std::u16string text);

    /// Adds an attachment as the item's own content (not a change the user made).
    std::shared_ptr<AttachmentNode> Attach(int32_t type, std::u16string fileName, std::string content);
    /// An inline picture of an HTML body, as mail arrives with one: by value, with a content id the
    /// body references as "cid:<id>", and marked hidden when `hidden`.
    std::shared_ptr<AttachmentNode> AttachInline(std::u16string fileName, std::u16string contentId, bool hidden,
                                                 std::string content);
    /// A change the user made in the window: the item becomes unsaved.
    void Edit() { saved = false; }
    /// The item is stored: what was added to it is what it reports from now on.
    void Saving();
};

struct BarNode;

/// One command-bar control; the model's controls are buttons.
struct ControlNode {
    int32_t type = 1;
    int32_t id = 1;
    std::u16string caption;
    std::u16string onAction;
    std::u16string tag;
    bool enabled = true;
    int32_t style = 0;
    int32_t faceId = 0;
    /// Identity of the picture objects last set (the host copies the image; never dereferenced).
    const void* picture = nullptr;
    const void* mask = nullptr;
    bool temporary = false;
    bool deleted = false;
    std::weak_ptr<BarNode> parent;
};

struct BarSet;

/// One command bar.
struct BarNode {
    std::u16string name;
    int32_t position = 1;
    bool visible = false;
    int32_t protection = 0;
    bool temporary = false;
    bool deleted = false;
    std::vector<std::shared_ptr<ControlNode>> controls;
    std::weak_ptr<BarSet> owner;
};

/// The command bars of one window.
struct BarSet {
    std::vector<std::shared_ptr<BarNode>> bars;
};

/// Copies the bars that are not temporary, with their controls that are not temporary.
std::shared_ptr<BarSet> CopyPersistentBars(const BarSet& from);

/// The command-bar state the host keeps between runs, one per window kind. It outlives a Host, so
/// a new Host made with the same store starts with the bars the previous run left.
struct CommandBarStore {
    BarSet inspector;
    BarSet explorer;
};

/// An item window.
struct InspectorNode {
    std::shared_ptr<ItemNode> item;
    bool wordMail = false;
    bool open = true;
    std::shared_ptr<BarSet> bars;
};

/// A main window.
struct ExplorerNode {
    bool open = true;
    std::shared_ptr<BarSet> bars;
    /// The items selected in the window's list, in the list's order.
    std::vector<std::shared_ptr<ItemNode>> selection;
    /// The attachments selected in the reading pane, all of the one item it shows (`pane`).
    std::shared_ptr<ItemNode> pane;
    std::vector<std::shared_ptr<AttachmentNode>> selectedAttachments;
};

/// The ribbon of hosts of version 12 and later, one per ribbon id an add-in gave markup for: its
/// RibbonUI object records what the add-in invalidates, for the ribbon host to ask again.
struct RibbonNode {
    std::u16string ribbonId;
    bool invalidAll = false;
    /// Control ids invalidated since the ribbon last asked, in order.
    std::vector<std::u16string> invalid;
};

/// What the ribbon hands a control's callbacks as its Context, by where the control is shown.
enum class RibbonPlace {
    ItemWindow,         // an item window's ribbon: the Inspector
    MainWindow,         // the main window's ribbon and its contextual tabs: the Explorer
    ItemMenu,           // the context menu of one item or of several: the Selection
    AttachmentMenu,     // the context menu of attachments: the AttachmentSelection
};

/// A control of an add-in's markup in one window, as the ribbon hands it to a callback.
struct RibbonControlNode {
    std::u16string id;
    std::u16string tag;
    std::weak_ptr<InspectorNode> window;
    std::weak_ptr<ExplorerNode> explorer;
    RibbonPlace place = RibbonPlace::ItemWindow;
};

/// The ribbon id of an item window showing `item` (mail and posts: read or compose by whether
/// they were sent; the window the item names, if it does); empty for a note, whose window has no
/// ribbon.
std::u16string RibbonIdOf(const ItemNode& item);

}  // namespace standin
