#pragma once
// The add-in's one persisted preference and its load and save through the settings store.
#include <string>

namespace addin {

class Platform;

namespace Preferences {

/// Whether "Replace with shortcut" starts ticked, for the calling thread: every thread has its own
/// value (the options page's bridge relies on that), false until loaded or set. These two are the
/// only way to it.
bool ReplaceWithLinks() noexcept;
void SetReplaceWithLinks(bool value) noexcept;

/// Whether the running host was seen not to keep shortcuts (links) in items, for the calling
/// thread: the options page then offers no "Replace with shortcut". Not stored; each connection
/// starts without knowing.
bool ShortcutsRefused() noexcept;
void SetShortcutsRefused(bool value) noexcept;

/// The value when none is stored, or the stored one cannot be read.
inline constexpr bool kDefault = true;

/// Where the preference is stored.
inline constexpr char16_t AppName[] = u"Quenmark Save Attachments";
inline constexpr char16_t Section[] = u"Preferences";
inline constexpr char16_t Key[] = u"ReplaceWithLinks";

/// Reads the stored value (true when absent) into the thread's preference. Stored text that is not
/// a Boolean throws HostError (HostStatus::TypeMismatch) and leaves the preference unchanged.
void LoadPreferences(Platform& platform);
/// Writes the thread's preference as "True" or "False".
void SavePreferences(Platform& platform);

/// The automation runtime's text-to-Boolean rule: "True"/"False" in any letter case, or a number
/// (0 false, any other true); anything else throws HostError (HostStatus::TypeMismatch).
bool TextToBoolean(const std::u16string& text);

}  // namespace Preferences

}  // namespace addin
