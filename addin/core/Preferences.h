#pragma once
// The add-in's one persisted preference and its load and save through the settings store.
#include <string>

class Platform;

namespace Preferences {

/// Whether "Replace with shortcut" starts ticked. Per thread; false until loaded.
extern thread_local bool ReplaceWithLinks;

/// Where the preference is stored.
inline constexpr char16_t AppName[] = u"Quenmark Save Attachments";
inline constexpr char16_t Section[] = u"Preferences";
inline constexpr char16_t Key[] = u"ReplaceWithLinks";

/// Reads the stored value (true when absent) into ReplaceWithLinks. Stored text that is not a
/// Boolean throws HostError (HostStatus::TypeMismatch) and leaves ReplaceWithLinks unchanged.
void LoadPreferences(Platform& platform);
/// Writes ReplaceWithLinks as "True" or "False".
void SavePreferences(Platform& platform);

/// The automation runtime's text-to-Boolean rule: "True"/"False" in any letter case, or a number
/// (0 false, any other true); anything else throws HostError (HostStatus::TypeMismatch).
bool TextToBoolean(const std::u16string& text);

}  // namespace Preferences
