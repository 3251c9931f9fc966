#include "standin/model/RibbonHost.h"

#include <algorithm>
#include <utility>

#include "base/HostError.h"
#include "standin/model/MarkupChecker.h"
#include "standin/model/PublishedLists.h"

namespace standin {

namespace {

std::u16string Number(size_t n) {
    const std::string s = std::to_string(n);
    return {s.begin(), s.end()};
}

std::u16string Bool(bool b) { return b ? u"true" : u"false"; }

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
        MarkupChecker checker(root, version_);
        markup->buttons = checker.Run();
        for (const auto& callback : checker.Callbacks())
            if (!addIn_.HasCallback(callback))
                throw MarkupChecker::Problem{u"the callback " + log_.Quote(callback) + u" is not found on the add-in"};
        if (const std::u16string* v = root.Attribute(u"onLoad")) onLoad = *v;
        log_.Line(name + u" namespace=" + log_.Quote(root.ns) + u" buttons=" + Number(markup->buttons.size()));
    } catch (const XmlError& e) {
        log_.Failure(name + u" not well-formed at " + Number(e.offset) + u": " + e.message);
        return;
    } catch (const MarkupChecker::Problem& p) {
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
