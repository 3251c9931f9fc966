#pragma once
// The command-bar state the host keeps between runs, as a small UTF-8 text file:
//   bar <inspector|explorer> name "<name>" position <n> visible <true|false> protection <n>
//   control type <n> id <n> caption "<text>" onaction "<text>" tag "<text>" enabled <true|false>
//       style <n> faceid <n> picture <text> mask <text>
// (one line each; a control belongs to the bar above it; picture and mask are "none" or a
// description of the image that was set).
#include <functional>
#include <string>

#include "standin/model/Model.h"

namespace standin::win {

/// Writes `store`. `describe` gives the text kept for a picture identity. Throws HostError.
void SaveState(const std::wstring& path, const CommandBarStore& store,
               const std::function<std::u16string(const void*)>& describe);

/// Reads a file written by SaveState into `store`; a missing file leaves it empty. Pictures read
/// back are given identities that stay valid for the rest of the run. Throws ScriptError (with the
/// line) for a malformed file, HostError when it cannot be read.
void LoadState(const std::wstring& path, CommandBarStore& store);

/// The description LoadState keeps for a picture identity it made; empty for any other.
std::u16string LoadedPictureText(const void* identity);

}  // namespace standin::win
