#pragma once
// The text the host shows as an item's Body for an HTML or an RTF body: the stand-in's own plain
// rendering, enough for a test to see what text a body holds (docs/host-behaviour.md).
#include <string>
#include <string_view>

namespace standin {

/// The text of `html`: tags dropped, the contents of <head>, <style> and <script> too; the
/// entities &amp; &lt; &gt; &quot; &apos; &nbsp; and &#NN; / &#xHH; decoded; <br>, </p>, </div>
/// and </li> end a line ("\r\n").
std::u16string TextOfHTML(std::u16string_view html);

/// The text of the RTF `rtf`: groups that start with \* and the font, colour and style tables,
/// \info and \fldinst skipped; \par and \line end a line, \tab is a tab; \'hh is the character of
/// that code in Latin-1 and \uN the UTF-16 unit N (its \ucN replacement characters skipped).
std::u16string TextOfRTF(std::string_view rtf);

}  // namespace standin
