#pragma once
// The ribbon's objects as the add-in meets them in its ribbon callbacks (hosts of version 12 and
// later; older hosts have no ribbon and never hand these out).
#include <memory>
#include <string>

#include "addin/core/host/Object.h"

namespace host {

class AttachmentSelection;
class Explorer;
class Inspector;
class Selection;

/// What a control's Context is, by where the control is shown: at most one member is set.
struct RibbonContext {
    /// An item window's ribbon.
    std::shared_ptr<Inspector> inspector;
    /// The main window's ribbon, its contextual tabs included.
    std::shared_ptr<Explorer> explorer;
    /// The context menu of one item or of several.
    std::shared_ptr<host::Selection> selection;
    /// The context menu of attachments.
    std::shared_ptr<host::AttachmentSelection> attachments;
};

/// A control of the add-in's markup, as the ribbon passes it to a callback.
class RibbonControl : public Object {
public:
    /// The control's id in the markup.
    virtual std::u16string Id() = 0;
    /// Where the control lives: its window's inspector or explorer, or what a context menu was
    /// opened on; nothing set for a context of another kind.
    virtual RibbonContext Context() = 0;
    virtual std::u16string Tag() = 0;
};

/// The ribbon that loaded the add-in's markup, handed to the markup's onLoad callback.
class RibbonUI : public Object {
public:
    /// Makes the ribbon ask every callback of the markup again.
    virtual void Invalidate() = 0;
    /// Makes the ribbon ask the callbacks of one control again, in every window that shows it.
    virtual void InvalidateControl(const std::u16string& controlId) = 0;
};

}  // namespace host
