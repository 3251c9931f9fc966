#pragma once
// Administrators' policies over "Replace with shortcut": what the machine's and the user's policy
// keys hold, resolved into what the dialogs and the Options page offer.
#include <optional>
#include <string>
#include <vector>

#include "addin/core/Platform.h"

namespace addin {

namespace Policies {

/// The key, under HKLM (which wins) and HKCU, and its two values, both REG_DWORD.
inline constexpr char16_t Key[] = u"Software\\Policies\\Quenmark\\Save Attachments";
/// 0 or 1: the state "Replace with shortcut" starts in; the user cannot change it.
inline constexpr char16_t ReplaceWithLinks[] = u"ReplaceWithLinks";
/// 0: "Replace with shortcut" is not offered; 1 (or absent): it is.
inline constexpr char16_t AllowReplace[] = u"AllowReplace";

using Value = Platform::PolicyValue;

/// One policy value as the two hives hold it.
struct Held {
    Value machine;
    Value user;
};

/// What the policies make of "Replace with shortcut".
struct Effective {
    /// The state the box is held in, when a policy sets it; nothing where the user's preference applies.
    std::optional<bool> replaceWithLinks;
    /// False when a policy withdraws the box: no dialog offers it.
    bool replaceAllowed = true;
    /// One line for each value that was ignored (wrong type or out of range), for the debug output.
    std::vector<std::u16string> ignored;

    /// Whether the user may not change the box (a policy sets or withdraws it).
    bool Locked() const noexcept { return replaceWithLinks.has_value() || !replaceAllowed; }
    /// The state the box starts in, from the user's `preference` where no policy decides.
    bool StartsTicked(bool preference) const noexcept {
        return replaceAllowed && replaceWithLinks.value_or(preference);
    }
};

/// Resolves what the hives hold: per value, a valid machine value wins over the user's. A value of
/// another type or out of range is ignored, as if absent, so the other hive's valid value applies
/// (an administrator's mistake in one hive does not cancel the other's setting).
Effective Resolve(const Held& replaceWithLinks, const Held& allowReplace);

/// Reads both values from both hives through `platform` and resolves them. A hive that cannot be
/// read counts as holding nothing. Each ignored value and each failed read is told to the
/// tolerated-failure report (the debug output).
Effective Read(Platform& platform);

}  // namespace Policies

}  // namespace addin
