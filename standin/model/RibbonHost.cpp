#include "RibbonHost.h"

#include <algorithm>
#include <set>
#include <utility>

#include "Markup.h"
#include "PublishedLists.h"
#include "base/Ascii.h"
#include "base/HostError.h"

namespace standin {

namespace {

constexpr std::u16string_view kNamespace2006 = u"http://schemas.microsoft.com/office/2006/01/customui";
constexpr std::u16string_view kNamespace2009 = u"http://schemas.microsoft.com/office/2009/07/customui";

// The part of the markup's schema this host knows: each element with its attributes and the kinds
// of child it may have (by rule name: a button in a group and one in a context menu differ).
// Anything else is refused, as the host refuses markup its schema rejects.
enum class Order {
    Any,       // any number of children of the kinds listed, in any order
    Once,      // each kind at most once, in any order (the schema's xsd:all)
    Sequence,  // each kind at most once, in the order listed
};

struct Rule {
    std::u16string_view name;
    std::u16string_view element;
    std::vector<std::u16string_view> attributes;
    std::vector<std::u16string_view> children;
    Order order = Order::Any;
    /// The schema wants at least one child (minOccurs 1).
    bool needsChild = false;
    /// Only in the 2009/07 schema.
    bool since2009 = false;
};

#define TALLOWBY_BUTTON_ATTRIBUTES                                                                                 \
    u"id", u"idMso", u"tag", u"label", u"enabled", u"getEnabled", u"visible", u"getVisible", u"imageMso", u"getImage", \
        u"showLabel", u"showImage", u"screentip", u"supertip", u"keytip", u"description", u"onAction",              \
        u"insertAfterMso", u"insertBeforeMso"

const std::vector<Rule>& Rules() {
    static const std::vector<Rule> rules{
        {u"customUI", u"customUI", {u"onLoad"}, {u"ribbon", u"contextMenus"}, Order::Sequence},
        {u"ribbon", u"ribbon", {u"startFromScratch"}, {u"tabs", u"contextualTabs"}, Order::Once},
        {u"tabs", u"tabs", {}, {u"tab"}},
        {u"contextualTabs", u"contextualTabs", {}, {u"tabSet"}, Order::Any, true},
        {u"tabSet", u"tabSet", {u"idMso", u"visible", u"getVisible"}, {u"tab"}},
        {u"tab",
         u"tab",
         {u"id", u"idMso", u"tag", u"label", u"visible", u"getVisible", u"keytip", u"insertAfterMso", u"insertBeforeMso"},
         {u"group"}},
        {u"group",
         u"group",
         {u"id", u"idMso", u"tag", u"label", u"visible", u"getVisible", u"keytip", u"screentip", u"supertip",
          u"insertAfterMso", u"insertBeforeMso"},
         {u"button"}},
        {u"button", u"button", {TALLOWBY_BUTTON_ATTRIBUTES, u"size"}, {}},
        {u"contextMenus", u"contextMenus", {}, {u"contextMenu"}, Order::Any, true, true},
        {u"contextMenu", u"contextMenu", {u"idMso"}, {u"menuButton"}, Order::Any, false, true},
        // A menu's button (CT_ButtonRegular) has the size of its place: no size of its own.
        {u"menuButton", u"button", {TALLOWBY_BUTTON_ATTRIBUTES}, {}, Order::Any, false, true},
    };
    return rules;
}

#undef TALLOWBY_BUTTON_ATTRIBUTES

const Rule& RuleNamed(std::u16string_view name) {
    const auto& rules = Rules();
    return *std::find_if(rules.begin(), rules.end(), [&](const Rule& r) { return r.name == name; });
}

bool IsBooleanAttribute(std::u16string_view name) {
    return name == u"startFromScratch" || name == u"visible" || name == u"enabled" || name == u"showLabel" ||
           name == u"showImage";
}

bool IsCallbackAttribute(std::u16string_view name) {
    return name == u"onLoad" || name == u"onAction" || (name.size() > 3 && name.starts_with(u"get"));
}

// An id as the schema types it: a name without ":" that does not start with a digit, "-" or ".".
bool IsId(std::u16string_view id) {
    if (id.empty() || id.size() > 1024) return false;
    const auto start = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80; };
    if (!start(id[0])) return false;
    return std::all_of(id.begin(), id.end(), [&](char16_t c) {
        return start(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
    });
}

std::u16string Number(size_t n) {
    const std::string s = std::to_string(n);
    return {s.begin(), s.end()};
}

std::u16string Bool(bool b) { return b ? u"true" : u"false"; }

// One of tab set, tab, group, button as far as its visibility goes: its control (for callbacks) and
// answer. A layer the button does not have (a tab set outside contextual tabs) has no id.
struct Layer {
    std::u16string id;
    std::u16string tag;
    std::u16string getVisible;
    bool visible = true;
};

enum { kTabSet, kTab, kGroup, kButton, kLayers };

/// Where the markup puts a button.
enum class Place { Tab, ContextualTab, Menu };

struct Button {
    Layer layers[kLayers];
    Place place = Place::Tab;
    /// The contextual tab set (idMso), or the context menu (idMso), the button is in.
    std::u16string tabSet;
    std::u16string menu;
    std::u16string tab;
    /// The tab is one of the window's own (idMso), which only windows that have it show.
    bool tabBuiltIn = false;
    std::u16string group;
    std::u16string label;
    std::u16string size = u"normal";
    std::u16string onAction;
    std::u16string getEnabled;
    std::u16string getImage;
    std::u16string imageMso;
    bool enabled = true;
};

// Checks the markup against the rules and collects its buttons; the first problem is thrown as text.
class Checker {
public:
    Checker(const XmlElement& root, int version) : root_(root), version_(version) {}

    std::vector<Button> Run() {
        if (root_.name != u"customUI") throw Problem(u"the root element is " + root_.name + u", not customUI");
        if (root_.ns != kNamespace2006 && !(version_ >= 14 && root_.ns == kNamespace2009))
            throw Problem(u"the namespace \"" + root_.ns + u"\" is not one this host version reads");
        Element(root_, RuleNamed(u"customUI"), Button{});
        return std::move(buttons_);
    }

    /// Every callback the markup names, each once.
    const std::set<std::u16string>& Callbacks() const { return callbacks_; }

    struct Problem {
        std::u16string text;
    };

private:
    void Element(const XmlElement& e, const Rule& rule, Button context) {
        if (rule.since2009 && root_.ns != kNamespace2009)
            throw Problem(u"the element " + e.name + u" is not in the 2006/01 schema: it needs the 2009/07 namespace");
        const auto has = [&](std::u16string_view attribute) {
            return std::find(rule.attributes.begin(), rule.attributes.end(), attribute) != rule.attributes.end();
        };
        for (const XmlAttribute& a : e.attributes) {
            if (a.ns.empty() && a.name == u"size" && rule.name == u"menuButton")
                throw Problem(u"a button in a context menu has the menu's size: size is not allowed");
            if (a.ns.empty() && a.name == u"id" && has(u"idMso") && !has(u"id"))
                throw Problem(u"a " + e.name + u" names one of the host's own by idMso, not by id");
            if (!a.ns.empty() || !has(a.name))
                throw Problem(u"the attribute " + a.name + u" of " + e.name + u" is not known here");
            if (IsBooleanAttribute(a.name) && a.value != u"true" && a.value != u"false" && a.value != u"1" && a.value != u"0")
                throw Problem(u"the attribute " + a.name + u" of " + e.name + u" is not a Boolean: " + a.value);
            if (IsCallbackAttribute(a.name)) {
                if (a.value.empty()) throw Problem(u"the callback " + a.name + u" of " + e.name + u" has no name");
                callbacks_.insert(a.value);
                // A property and the callback that gives it exclude each other (visible, getVisible).
                std::u16string property = a.name.substr(3);
                if (!property.empty()) property[0] = base::AsciiLower(property[0]);
                if (a.name.starts_with(u"get") && e.Attribute(property))
                    throw Problem(u"both " + property + u" and " + a.name + u" on " + e.name);
            }
        }
        // Tab sets and context menus exist only as the host's own: markup adds to them, never makes one.
        if (has(u"idMso") && !has(u"id") && !e.Attribute(u"idMso"))
            throw Problem(u"a " + e.name + u" names one of the host's own by idMso, which is missing");
        if (e.name == u"button") {
            const std::u16string* size = e.Attribute(u"size");
            if (size && *size != u"normal" && *size != u"large")
                throw Problem(u"the size of a button is normal or large, not " + *size);
        }

        if (e.name == u"tabSet") {
            context.place = Place::ContextualTab;
            context.tabSet = *e.Attribute(u"idMso");
            if (context.tabSet.empty()) throw Problem(u"an empty idMso");
            Layer& layer = context.layers[kTabSet];
            layer.id = context.tabSet;
            const std::u16string* getVisible = e.Attribute(u"getVisible");
            const std::u16string* visible = e.Attribute(u"visible");
            layer.getVisible = getVisible ? *getVisible : u"";
            layer.visible = !visible || *visible == u"true" || *visible == u"1";
        }
        if (e.name == u"contextMenu") {
            context.place = Place::Menu;
            context.menu = *e.Attribute(u"idMso");
            if (context.menu.empty()) throw Problem(u"an empty idMso");
        }
        const bool control = e.name == u"tab" || e.name == u"group" || e.name == u"button";
        if (control) {
            const std::u16string* id = e.Attribute(u"id");
            const std::u16string* idMso = e.Attribute(u"idMso");
            if ((id != nullptr) == (idMso != nullptr))
                throw Problem(u"a " + e.name + u" needs exactly one of id and idMso");
            if (id) {
                if (!IsId(*id)) throw Problem(u"\"" + *id + u"\" is not an id");
                if (!ids_.insert(*id).second) throw Problem(u"the id \"" + *id + u"\" is used twice");
            } else if (idMso->empty()) {
                throw Problem(u"an empty idMso");
            }
            const auto text = [&](std::u16string_view name, std::u16string fallback = {}) {
                const std::u16string* v = e.Attribute(name);
                return v ? *v : fallback;
            };
            const int at = e.name == u"tab" ? kTab : e.name == u"group" ? kGroup : kButton;
            Layer& layer = context.layers[at];
            layer.id = id ? *id : *idMso;
            layer.tag = text(u"tag");
            layer.getVisible = text(u"getVisible");
            layer.visible = text(u"visible", u"true") == u"true" || text(u"visible") == u"1";
            if (at == kTab) {
                context.tab = layer.id;
                context.tabBuiltIn = idMso != nullptr;
            }
            if (at == kGroup) context.group = layer.id;
            if (at == kButton) {
                context.label = text(u"label");
                context.size = context.place == Place::Menu ? u"" : text(u"size", u"normal");
                context.onAction = text(u"onAction");
                context.getEnabled = text(u"getEnabled");
                context.getImage = text(u"getImage");
                context.imageMso = text(u"imageMso");
                context.enabled = text(u"enabled", u"true") == u"true" || text(u"enabled") == u"1";
                buttons_.push_back(context);
            }
        }
        size_t last = 0;
        std::set<std::u16string_view> seen;
        for (const XmlElement& child : e.children) {
            if (child.ns != root_.ns) throw Problem(u"the element " + child.name + u" is not known here");
            const auto kind = std::find_if(rule.children.begin(), rule.children.end(),
                                           [&](std::u16string_view name) { return RuleNamed(name).element == child.name; });
            if (kind == rule.children.end()) throw Problem(u"the element " + child.name + u" cannot stand in " + e.name);
            const size_t at = static_cast<size_t>(kind - rule.children.begin()) + 1;
            if (rule.order != Order::Any && !seen.insert(*kind).second)
                throw Problem(u"the element " + child.name + u" appears twice in " + e.name);
            if (rule.order == Order::Sequence && at < last)
                throw Problem(u"the element " + child.name + u" cannot follow " + std::u16string(RuleNamed(rule.children[last - 1]).element) +
                              u" in " + e.name);
            last = std::max(last, at);
            Element(child, RuleNamed(*kind), context);
        }
        if (rule.needsChild && e.children.empty())
            throw Problem(u"a " + e.name + u" needs at least one " + std::u16string(RuleNamed(rule.children.front()).element));
    }

    const XmlElement& root_;
    int version_;
    std::set<std::u16string> ids_;
    std::set<std::u16string> callbacks_;
    std::vector<Button> buttons_;
};

}  // namespace

struct RibbonHost::Markup {
    std::u16string ribbonId;
    std::shared_ptr<RibbonNode> node;
    std::vector<Button> buttons;
};

struct RibbonHost::Shown {
    // The item window or the main window that shows the button.
    std::weak_ptr<InspectorNode> window;
    std::weak_ptr<ExplorerNode> explorer;
    std::shared_ptr<Markup> markup;
    size_t button = 0;
    // The answers last given; unset where the ribbon did not need to ask (a hidden button).
    bool visible = false;
    std::optional<bool> enabled;
    std::optional<std::u16string> image;
    bool stale = true;
    /// Asked at least once (a context menu's buttons are asked only when it opens).
    bool asked = false;
    /// The button's built-in tab (tab set, menu) is not one of the window's: it shows nothing of it.
    bool absent = false;
    /// A contextual tab's button: whether its tab set is up now.
    bool contextUp = false;

    const Button& Spec() const { return markup->buttons[button]; }
    bool Open() const {
        if (const auto w = window.lock()) return w->open;
        if (const auto e = explorer.lock()) return e->open;
        return false;
    }
};

namespace {

// The contextual tab set the stand-in plays, and when it is up: the reading pane has attachments
// selected. Other tab sets of the main window belong to contexts it does not play.
constexpr std::u16string_view kAttachmentsTabSet = u"TabSetAttachments";

bool ContextHolds(const Button& b, const ExplorerNode& explorer) {
    return b.tabSet == kAttachmentsTabSet && !explorer.selectedAttachments.empty();
}

// The context menus the stand-in plays, and the selection each needs to open.
bool MenuOpens(std::u16string_view menu, const ExplorerNode& explorer) {
    if (menu == u"ContextMenuMailItem") return explorer.selection.size() == 1;
    if (menu == u"ContextMenuMultipleItems") return explorer.selection.size() > 1;
    if (menu == u"ContextMenuAttachments") return !explorer.selectedAttachments.empty();
    return false;
}

/// The part of a button's place that a window lacks, as the transcript names it.
struct Missing {
    std::u16string_view attribute;  // the markup's: tab, tabSet, menu
    std::u16string_view what;
    const std::u16string* name;
};

// The host's published lists say which tabs each item window's ribbon has, and only those show.
std::optional<Missing> MissingInItemWindow(const Button& b, std::u16string_view ribbonId) {
    if (!b.tabBuiltIn) return std::nullopt;
    const auto tabs = PublishedTabs(ribbonId);
    if (std::find(tabs.begin(), tabs.end(), b.tab) != tabs.end()) return std::nullopt;
    return Missing{u"tab", u"tab", &b.tab};
}

// The host's names are checked against its published list of the main window's controls: a tab,
// tab set or context menu the list lacks shows nothing of the add-in's.
std::optional<Missing> MissingInExplorer(const Button& b) {
    if (b.place == Place::Menu && !IsPublishedExplorerControl(b.menu)) return Missing{u"menu", u"menu", &b.menu};
    if (b.place == Place::ContextualTab && !IsPublishedExplorerControl(b.tabSet))
        return Missing{u"tabSet", u"tab set", &b.tabSet};
    if (b.place != Place::Menu && b.tabBuiltIn && !IsPublishedExplorerControl(b.tab))
        return Missing{u"tab", u"tab", &b.tab};
    return std::nullopt;
}

RibbonPlace PlaceOf(const Button& b, bool inExplorer) {
    if (!inExplorer) return RibbonPlace::ItemWindow;
    if (b.place != Place::Menu) return RibbonPlace::MainWindow;
    return b.menu == u"ContextMenuAttachments" ? RibbonPlace::AttachmentMenu : RibbonPlace::ItemMenu;
}

}  // namespace

RibbonHost::RibbonHost(Host& host, RibbonAddIn& addIn, int majorVersion, RibbonLog& log)
    : host_(host), addIn_(addIn), version_(majorVersion), log_(log) {}

RibbonHost::~RibbonHost() = default;

void RibbonHost::Load(const std::u16string& ribbonId) {
    if (markups_.count(ribbonId)) return;
    markups_[ribbonId] = nullptr;
    const std::u16string name = u"ribbon markup id=" + log_.Quote(ribbonId);
    std::u16string text;
    try {
        text = addIn_.GetCustomUI(ribbonId);
    } catch (const HostError& e) {
        log_.Failure(name + u": GetCustomUI failed " + log_.Code(e.status));
        return;
    }
    if (text.empty()) {
        log_.Line(name + u" none");
        return;
    }
    auto markup = std::make_shared<Markup>();
    markup->ribbonId = ribbonId;
    std::u16string onLoad;
    try {
        const XmlElement root = ParseXml(text);
        Checker checker(root, version_);
        markup->buttons = checker.Run();
        for (const auto& callback : checker.Callbacks())
            if (!addIn_.HasCallback(callback))
                throw Checker::Problem{u"the callback " + log_.Quote(callback) + u" is not found on the add-in"};
        if (const std::u16string* v = root.Attribute(u"onLoad")) onLoad = *v;
        log_.Line(name + u" namespace=" + log_.Quote(root.ns) + u" buttons=" + Number(markup->buttons.size()));
    } catch (const XmlError& e) {
        log_.Failure(name + u" not well-formed at " + Number(e.offset) + u": " + e.message);
        return;
    } catch (const Checker::Problem& p) {
        log_.Failure(name + u" refused: " + p.text);
        return;
    } catch (const HostError& e) {
        log_.Failure(name + u": looking up a callback failed " + log_.Code(e.status));
        return;
    }
    markup->node = std::make_shared<RibbonNode>();
    markup->node->ribbonId = ribbonId;
    markups_[ribbonId] = markup;
    if (onLoad.empty()) return;
    try {
        addIn_.OnLoad(onLoad, host_.RibbonUIObject(markup->node));
        log_.Line(u"ribbon " + onLoad + u" id=" + log_.Quote(ribbonId) + u" ok");
    } catch (const HostError& e) {
        log_.Line(u"ribbon " + onLoad + u" id=" + log_.Quote(ribbonId) + u" failed " + log_.Code(e.status));
    }
}

void RibbonHost::Show(const std::shared_ptr<InspectorNode>& window) {
    const std::u16string ribbonId = RibbonIdOf(*window->item);
    if (ribbonId.empty()) return;
    Load(ribbonId);
    if (const auto markup = markups_[ribbonId]) ShowButtons(markup, window, nullptr);
}

void RibbonHost::ShowButtons(const std::shared_ptr<Markup>& markup, const std::shared_ptr<InspectorNode>& window,
                             const std::shared_ptr<ExplorerNode>& explorer) {
    for (size_t i = 0; i < markup->buttons.size(); ++i) {
        const Button& b = markup->buttons[i];
        // The item windows' contextual tabs and context menus are not played.
        if (!explorer && b.place != Place::Tab) continue;
        const bool known = std::any_of(shown_.begin(), shown_.end(), [&](const auto& s) {
            return (explorer ? s->explorer.lock() == explorer : s->window.lock() == window) && s->markup == markup &&
                   s->button == i;
        });
        if (known) continue;
        auto shown = std::make_unique<Shown>();
        shown->window = window;
        shown->explorer = explorer;
        shown->markup = markup;
        shown->button = i;
        if (const auto missing = explorer ? MissingInExplorer(b) : MissingInItemWindow(b, markup->ribbonId)) {
            shown->absent = true;
            log_.Line(u"ribbon window=" + WhereName(*shown) + u" id=" + log_.Quote(markup->ribbonId) + u" " +
                      std::u16string(missing->attribute) + u"=" + log_.Quote(*missing->name) + u" control=" +
                      log_.Quote(b.layers[kButton].id) + u" not shown: the window has no such " +
                      std::u16string(missing->what));
        }
        if (explorer && b.place == Place::ContextualTab && !shown->absent) shown->contextUp = ContextHolds(b, *explorer);
        if (OnScreen(*shown)) Ask(*shown);
        shown_.push_back(std::move(shown));
    }
}

void RibbonHost::Refresh() {
    std::erase_if(shown_, [](const auto& s) { return !s->Open(); });
    for (auto& shown : shown_) {
        const auto explorer = shown->explorer.lock();
        if (!explorer || shown->absent || shown->Spec().place != Place::ContextualTab) continue;
        const bool up = ContextHolds(shown->Spec(), *explorer);
        if (up == shown->contextUp) continue;
        // A tab set that comes up is laid out afresh: its buttons are asked again.
        shown->contextUp = up;
        if (up) shown->stale = true;
    }
    for (const auto& [ribbonId, markup] : markups_) {
        if (!markup) continue;
        RibbonNode& node = *markup->node;
        for (const auto& id : node.invalid)
            log_.Line(u"ribbon invalidated id=" + log_.Quote(ribbonId) + u" control=" + log_.Quote(id));
        if (node.invalidAll) log_.Line(u"ribbon invalidated id=" + log_.Quote(ribbonId) + u" all");
        for (auto& shown : shown_) {
            if (shown->markup != markup) continue;
            const Button& b = shown->Spec();
            const bool hit = std::any_of(std::begin(b.layers), std::end(b.layers), [&](const Layer& l) {
                return std::find(node.invalid.begin(), node.invalid.end(), l.id) != node.invalid.end();
            });
            if (hit || node.invalidAll) shown->stale = true;
        }
        node.invalid.clear();
        node.invalidAll = false;
    }
    for (auto& shown : shown_)
        if (shown->stale && OnScreen(*shown)) Ask(*shown);
}

bool RibbonHost::OnScreen(const Shown& shown) {
    if (shown.absent) return false;
    switch (shown.Spec().place) {
    case Place::Tab:
        return true;
    case Place::ContextualTab:
        return shown.contextUp;
    default:
        return false;  // a context menu is up only while the user has it open
    }
}

std::u16string RibbonHost::WhereName(const Shown& shown) {
    if (const auto window = shown.window.lock()) return log_.WindowName(window);
    return log_.ExplorerName(shown.explorer.lock());
}

// Asks one callback about `layer`'s control (tab, group or button) in the shown button's window;
// `answer` turns the result into the log's text. A failing callback leaves `fallback`, as the ribbon
// keeps a property's default when its callback fails.
template <class T, class Call, class Text>
T RibbonHost::Ask(Shown& shown, int layer, const std::u16string& callback, T fallback, Call call, Text answer,
                  std::u16string& asked) {
    const Layer& l = shown.Spec().layers[layer];
    const auto control = host_.RibbonControlObject(std::make_shared<RibbonControlNode>(RibbonControlNode{
        l.id, l.tag, shown.window, shown.explorer, PlaceOf(shown.Spec(), !shown.explorer.expired())}));
    try {
        T value = call(callback, control);
        asked += u" " + callback + u"=" + answer(value);
        return value;
    } catch (const HostError& e) {
        asked += u" " + callback + u"=failed " + log_.Code(e.status);
        return fallback;
    }
}

void RibbonHost::Ask(Shown& shown) {
    if (!shown.Open()) return;
    shown.stale = false;
    shown.asked = true;
    const Button& b = shown.Spec();
    const auto boolean = [this](const std::u16string& name, const std::shared_ptr<host::RibbonControl>& c) {
        return addIn_.GetBool(name, c);
    };
    std::u16string asked;
    shown.visible = true;
    for (int layer = kTabSet; layer < kLayers && shown.visible; ++layer) {
        const Layer& l = b.layers[layer];
        shown.visible = l.getVisible.empty() ? l.visible : Ask(shown, layer, l.getVisible, l.visible, boolean, Bool, asked);
    }
    shown.enabled.reset();
    shown.image.reset();
    if (shown.visible) {  // a hidden button's other callbacks are not needed
        shown.enabled = b.getEnabled.empty() ? b.enabled : Ask(shown, kButton, b.getEnabled, b.enabled, boolean, Bool, asked);
        shown.image = b.imageMso.empty() ? u"none" : u"imageMso " + b.imageMso;
        if (!b.getImage.empty())
            shown.image = Ask(
                shown, kButton, b.getImage, *shown.image,
                [this](const std::u16string& name, const std::shared_ptr<host::RibbonControl>& c) {
                    return addIn_.GetImage(name, c);
                },
                [this](const std::u16string& text) { return log_.Quote(text); }, asked);
    }
    if (!asked.empty())
        log_.Line(u"ribbon asked window=" + WhereName(shown) +
                  (b.place == Place::Menu ? u" menu=" + log_.Quote(b.menu) : u"") + u" control=" +
                  log_.Quote(b.layers[kButton].id) + asked);
}

bool RibbonHost::Click(const std::shared_ptr<InspectorNode>& window, const std::u16string& label) {
    const auto it = std::find_if(shown_.begin(), shown_.end(), [&](const auto& s) {
        return s->window.lock() == window && !s->absent && s->Spec().label == label;
    });
    if (it == shown_.end()) return false;
    Press(**it, u"ribbon click window=" + log_.WindowName(window) + u" label=" + log_.Quote(label));
    return true;
}

void RibbonHost::Press(Shown& shown, const std::u16string& name) {
    const Button& b = shown.Spec();
    if (!shown.visible || !shown.enabled.value_or(false)) {
        log_.Line(name + (shown.visible ? u" disabled: nothing happens" : u" hidden: nothing happens"));
        return;
    }
    log_.Line(name);
    if (b.onAction.empty()) return;
    const Layer& l = b.layers[kButton];
    const std::u16string where = WhereName(shown);
    try {
        addIn_.OnAction(b.onAction, host_.RibbonControlObject(std::make_shared<RibbonControlNode>(RibbonControlNode{
                                        l.id, l.tag, shown.window, shown.explorer, PlaceOf(b, !shown.explorer.expired())})));
        log_.Line(u"ribbon " + b.onAction + u" window=" + where + u" ok");
    } catch (const HostError& e) {
        log_.Line(u"ribbon " + b.onAction + u" window=" + where + u" failed " + log_.Code(e.status));
    }
}

std::vector<RibbonHost::ButtonState> RibbonHost::Buttons(const std::shared_ptr<InspectorNode>& window) const {
    std::vector<ButtonState> buttons;
    for (const auto& shown : shown_)
        if (shown->window.lock() == window && !shown->absent)
            buttons.push_back({shown->Spec().label, shown->visible, shown->enabled, shown->image});
    return buttons;
}

std::vector<std::u16string> RibbonHost::State(const std::shared_ptr<InspectorNode>& window) {
    std::vector<std::u16string> lines;
    for (const auto& shown : shown_) {
        if (shown->window.lock() != window || shown->absent) continue;
        const Button& b = shown->Spec();
        // The word processor's windows carry no toolbar: the transcript says which they are.
        lines.push_back(u"ribbon window=" + log_.WindowName(window) + (window->wordMail ? u" editor=word" : u"") +
                        u" id=" + log_.Quote(shown->markup->ribbonId) +
                        u" tab=" + log_.Quote(b.tab) + u" group=" + log_.Quote(b.group) + u" control=" +
                        log_.Quote(b.layers[kButton].id) + u" label=" + log_.Quote(b.label) + u" size=" + b.size +
                        u" visible=" + Bool(shown->visible) +
                        (shown->enabled ? u" enabled=" + Bool(*shown->enabled) : u"") +
                        (shown->image ? u" image=" + log_.Quote(*shown->image) : u""));
    }
    return lines;
}

void RibbonHost::ShowExplorer(const std::shared_ptr<ExplorerNode>& explorer) {
    // Version 12's main window has no ribbon, and no earlier host has one.
    if (version_ < 14 || !explorer->open) return;
    const std::u16string ribbonId(kExplorerRibbonId);
    Load(ribbonId);
    const auto markup = markups_[ribbonId];
    if (!markup) return;
    ShowButtons(markup, nullptr, explorer);
}

bool RibbonHost::ClickExplorer(const std::shared_ptr<ExplorerNode>& explorer, const std::u16string& label) {
    const auto it = std::find_if(shown_.begin(), shown_.end(), [&](const auto& s) {
        return s->explorer.lock() == explorer && s->Spec().place != Place::Menu && OnScreen(*s) &&
               s->Spec().label == label;
    });
    if (it == shown_.end()) return false;
    Press(**it, u"ribbon click window=" + log_.ExplorerName(explorer) + u" label=" + log_.Quote(label));
    return true;
}

std::optional<std::vector<RibbonButtonState>> RibbonHost::OpenMenu(const std::shared_ptr<ExplorerNode>& explorer,
                                                                   const std::u16string& menu) {
    const std::u16string name = u"ribbon menu window=" + log_.ExplorerName(explorer) + u" menu=" + log_.Quote(menu);
    if (version_ < 14) {
        log_.Line(name + u" not opened: this host version has no such menu for add-ins");
        return std::nullopt;
    }
    if (!MenuOpens(menu, *explorer)) {
        log_.Line(name + u" not opened: the selection does not bring it up");
        return std::nullopt;
    }
    log_.Line(name + u" open");
    std::vector<RibbonButtonState> buttons;
    for (auto& shown : shown_) {
        const Button& b = shown->Spec();
        if (shown->explorer.lock() != explorer || b.place != Place::Menu || b.menu != menu || shown->absent) continue;
        if (menuAsking_ == MenuAsking::EachOpening || shown->stale || !shown->asked) Ask(*shown);
        buttons.push_back({b.label, shown->visible, shown->enabled, shown->image});
    }
    return buttons;
}

bool RibbonHost::ClickMenu(const std::shared_ptr<ExplorerNode>& explorer, const std::u16string& menu,
                           const std::u16string& label) {
    if (!OpenMenu(explorer, menu)) return false;
    const auto it = std::find_if(shown_.begin(), shown_.end(), [&](const auto& s) {
        const Button& b = s->Spec();
        return s->explorer.lock() == explorer && b.place == Place::Menu && b.menu == menu && !s->absent &&
               b.label == label;
    });
    if (it == shown_.end()) return false;
    Press(**it, u"ribbon click window=" + log_.ExplorerName(explorer) + u" menu=" + log_.Quote(menu) + u" label=" +
                    log_.Quote(label));
    return true;
}

std::vector<RibbonHost::ButtonState> RibbonHost::Buttons(const std::shared_ptr<ExplorerNode>& explorer) const {
    std::vector<ButtonState> buttons;
    for (const auto& shown : shown_)
        if (shown->explorer.lock() == explorer && OnScreen(*shown))
            buttons.push_back({shown->Spec().label, shown->visible, shown->enabled, shown->image});
    return buttons;
}

std::vector<std::u16string> RibbonHost::State(const std::shared_ptr<ExplorerNode>& explorer) {
    std::vector<std::u16string> lines;
    for (const bool menus : {false, true}) {
        for (const auto& shown : shown_) {
            if (shown->explorer.lock() != explorer) continue;
            const Button& b = shown->Spec();
            if ((b.place == Place::Menu) != menus) continue;
            if (menus ? shown->absent || !shown->asked : !OnScreen(*shown)) continue;
            std::u16string where;
            if (menus) {
                where = u" menu=" + log_.Quote(b.menu);
            } else {
                if (b.place == Place::ContextualTab) where = u" tabSet=" + log_.Quote(b.tabSet);
                where += u" tab=" + log_.Quote(b.tab) + u" group=" + log_.Quote(b.group);
            }
            lines.push_back(u"ribbon window=" + log_.ExplorerName(explorer) + u" id=" + log_.Quote(shown->markup->ribbonId) +
                            where + u" control=" + log_.Quote(b.layers[kButton].id) + u" label=" + log_.Quote(b.label) +
                            (b.size.empty() ? u"" : u" size=" + b.size) + u" visible=" + Bool(shown->visible) +
                            (shown->enabled ? u" enabled=" + Bool(*shown->enabled) : u"") +
                            (shown->image ? u" image=" + log_.Quote(*shown->image) : u""));
        }
    }
    return lines;
}

}  // namespace standin
