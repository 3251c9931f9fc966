#include "standin/model/MarkupChecker.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "base/Ascii.h"

namespace standin {

// The part of the markup's schema this host knows: each element with its attributes and the kinds
// of child it may have (by rule name: a button in a group and one in a context menu differ).
// Anything else is refused, as the host refuses markup its schema rejects.
struct MarkupRule {
    enum class Order {
        Any,       // any number of children of the kinds listed, in any order
        Once,      // each kind at most once, in any order (the schema's xsd:all)
        Sequence,  // each kind at most once, in the order listed
    };

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

namespace {

using Order = MarkupRule::Order;

constexpr std::u16string_view kNamespace2006 = u"http://schemas.microsoft.com/office/2006/01/customui";
constexpr std::u16string_view kNamespace2009 = u"http://schemas.microsoft.com/office/2009/07/customui";

#define TALLOWBY_BUTTON_ATTRIBUTES                                                                                 \
    u"id", u"idMso", u"tag", u"label", u"enabled", u"getEnabled", u"visible", u"getVisible", u"imageMso", u"getImage", \
        u"showLabel", u"showImage", u"screentip", u"supertip", u"keytip", u"description", u"onAction",              \
        u"insertAfterMso", u"insertBeforeMso"

const std::vector<MarkupRule>& Rules() {
    static const std::vector<MarkupRule> rules{
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

const MarkupRule& RuleNamed(std::u16string_view name) {
    const auto& rules = Rules();
    return *std::find_if(rules.begin(), rules.end(), [&](const MarkupRule& r) { return r.name == name; });
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

}  // namespace

std::vector<Button> MarkupChecker::Run() {
    if (root_.name != u"customUI") throw Problem(u"the root element is " + root_.name + u", not customUI");
    if (root_.ns != kNamespace2006 && !(version_ >= 14 && root_.ns == kNamespace2009))
        throw Problem(u"the namespace \"" + root_.ns + u"\" is not one this host version reads");
    Element(root_, RuleNamed(u"customUI"), Button{});
    return std::move(buttons_);
}

void MarkupChecker::Element(const XmlElement& e, const MarkupRule& rule, Button context) {
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

}  // namespace standin
