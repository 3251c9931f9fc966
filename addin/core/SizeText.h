#pragma once
// A file's size as a reader takes it in at a glance, for text the user sees.
#include <cstdint>
#include <string>

namespace addin {

/// "1 byte", "532 bytes" below 1 KB; above, in KB, MB, GB or TB (units of 1024), rounded to
/// nearest: one decimal below 10 ("3.4 MB", "1 KB" without ".0"), whole numbers from 10 ("12 KB").
/// A value that rounds to 1024 of a unit is written in the next one ("1 MB", not "1024 KB").
std::u16string SizeText(std::uint64_t bytes);

}  // namespace addin
