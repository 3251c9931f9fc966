#pragma once
// Internal to the ribbon: an add-in's markup checked against the part of its schema this host
// knows, and the buttons it holds as far as the ribbon shows and asks them.
#include <set>
#include <string>
#include <vector>

#include "standin/model/Markup.h"

namespace standin {

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

struct MarkupRule;

// Checks the markup against the rules and collects its buttons; the first problem is thrown as text.
class MarkupChecker {
public:
    MarkupChecker(const XmlElement& root, int version) : root_(root), version_(version) {}

    std::vector<Button> Run();

    /// Every callback the markup names, each once.
    const std::set<std::u16string>& Callbacks() const { return callbacks_; }

    struct Problem {
        std::u16string text;
    };

private:
    void Element(const XmlElement& e, const MarkupRule& rule, Button context);

    const XmlElement& root_;
    int version_;
    std::set<std::u16string> ids_;
    std::set<std::u16string> callbacks_;
    std::vector<Button> buttons_;
};

}  // namespace standin
