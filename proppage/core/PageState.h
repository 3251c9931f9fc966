#pragma once
// The options page's behaviour without any window: the dirty flag, what initialisation, a user's
// click and Apply do to it, and what the page shows when the add-in's bridge is missing.
#include <optional>

namespace proppage {

/// State of one options page. The Windows layer owns the check box and the bridge; this class
/// decides what happens to the page's flags.
class PageState {
public:
    /// Initialisation of a new instance. `preference` is the value read through the bridge, or
    /// nothing when no bridge could be created; `shortcutsRefused`, the add-in's word that the
    /// running host keeps no shortcuts; `setByAdministrator`, that a policy decides the box (the
    /// preference is then the state the policy holds it in). Not a user change: the page stays clean.
    void Initialize(std::optional<bool> preference, bool shortcutsRefused = false,
                    bool setByAdministrator = false) noexcept;

    /// A user's click on the check box, whatever the resulting state: the page becomes dirty.
    /// `checked` is the box's state after the click.
    void UserClicked(bool checked) noexcept;

    /// Apply: `put` writes the box's state through the bridge, unless a policy decides it. When
    /// `put` throws, the exception passes on and the page keeps its dirty flag.
    template <class Put>
    void Apply(Put&& put) {
        if (!setByAdministrator_) put(checked_);
        dirty_ = false;
    }

    /// True when the user changed the box since initialisation or the last Apply.
    bool Dirty() const noexcept { return dirty_; }
    /// The box's state.
    bool Checked() const noexcept { return checked_; }
    /// Whether the user may change the box: only when there is a bridge to write the change to, and
    /// the host keeps the shortcuts the box asks for (the stored preference is left as it is).
    bool BoxEnabled() const noexcept { return hasBridge_ && !shortcutsRefused_ && !setByAdministrator_; }
    /// Whether the page says that the administrator set the box.
    bool SetByAdministrator() const noexcept { return setByAdministrator_; }
    /// Whether this page's initialisation obtained a bridge.
    bool HasBridge() const noexcept { return hasBridge_; }

private:
    bool dirty_ = false;
    bool checked_ = false;
    bool hasBridge_ = false;
    bool shortcutsRefused_ = false;
    bool setByAdministrator_ = false;
};

}  // namespace proppage
