#pragma once
// The command bars of one host window, their controls and buttons.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "addin/core/host/Events.h"
#include "addin/core/host/Object.h"
#include "addin/core/host/Picture.h"

namespace host {

class CommandBar;
class CommandBarButton;
class CommandBarControl;
class CommandBarControls;

inline constexpr int32_t msoBarTop = 1;
inline constexpr int32_t msoControlButton = 1;
inline constexpr int32_t msoButtonIconAndCaption = 3;
inline constexpr int32_t msoBarNoCustomize = 1;

/// The command bars of one window. Arguments left empty are omitted.
class CommandBars : public Object {
public:
    /// The first control that matches the given criteria in any of the window's bars, including bars
    /// kept from an earlier run; empty when none matches.
    virtual std::shared_ptr<CommandBarControl> FindControl(std::optional<int32_t> type, std::optional<int32_t> id,
                                                           std::optional<std::u16string> tag,
                                                           std::optional<bool> visible) = 0;
    /// Adds a new bar. A bar that is not temporary is kept by the host between runs.
    virtual std::shared_ptr<CommandBar> Add(std::optional<std::u16string> name, std::optional<int32_t> position,
                                            std::optional<bool> menuBar, std::optional<bool> temporary) = 0;
};

/// One command bar.
class CommandBar : public Object {
public:
    virtual std::u16string Name() = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool value) = 0;
    virtual int32_t Protection() = 0;
    virtual void SetProtection(int32_t value) = 0;
    virtual std::shared_ptr<CommandBarControls> Controls() = 0;
    virtual void Delete() = 0;
};

/// The controls of one bar.
class CommandBarControls : public Object {
public:
    virtual int32_t Count() = 0;
    /// Adds a control of `type` (msoControlButton appends a button). Arguments left empty are omitted.
    virtual std::shared_ptr<CommandBarControl> Add(std::optional<int32_t> type, std::optional<int32_t> id,
                                                   std::optional<std::u16string> parameter,
                                                   std::optional<int32_t> before, std::optional<bool> temporary) = 0;
};

/// A control on a command bar.
class CommandBarControl : public Object {
public:
    virtual std::u16string Caption() = 0;
    virtual void SetCaption(const std::u16string& value) = 0;
    virtual std::u16string OnAction() = 0;
    virtual void SetOnAction(const std::u16string& value) = 0;
    virtual std::u16string Tag() = 0;
    virtual void SetTag(const std::u16string& value) = 0;
    virtual bool Enabled() = 0;
    virtual void SetEnabled(bool value) = 0;
    /// The bar that holds the control; fails for a control that no longer exists.
    virtual std::shared_ptr<CommandBar> Parent() = 0;
    virtual void Delete(std::optional<bool> temporary = {}) = 0;
    /// The same control as a button; HostError (HostStatus::NoInterface) when it is not one.
    virtual std::shared_ptr<CommandBarButton> AsButton() = 0;
};

/// A command-bar button.
class CommandBarButton : public CommandBarControl {
public:
    virtual int32_t Style() = 0;
    virtual void SetStyle(int32_t value) = 0;
    virtual int32_t FaceId() = 0;
    virtual void SetFaceId(int32_t value) = 0;
    /// Set by name: hosts whose buttons have no Picture or Mask fail here.
    virtual void SetPicture(const std::shared_ptr<host::Picture>& value) = 0;
    virtual void SetMask(const std::shared_ptr<host::Picture>& value) = 0;
    /// Subscribes `sink` to Click, raised for a click on any button with this button's tag.
    virtual Subscription Subscribe(ButtonEvents& sink) = 0;
};

}  // namespace host
