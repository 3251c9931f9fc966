#pragma once
// The ribbon's objects as the add-in meets them in its ribbon callbacks (hosts of version 12 and
// later; older hosts have no ribbon and never hand these out).
#include <memory>
#include <string>

#include "core/host/Object.h"

namespace host {

class Inspector;

/// A control of the add-in's markup, as the ribbon passes it to a callback.
class RibbonControl : public Object {
public:
    /// The control's id in the markup.
    virtual std::u16string Id() = 0;
    /// The window the control lives in: its inspector in an item window, empty in any other window.
    virtual std::shared_ptr<Inspector> Context() = 0;
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
