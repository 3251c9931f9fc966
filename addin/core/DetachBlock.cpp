#include "addin/core/DetachBlock.h"

#include <algorithm>
#include <array>

#include "addin/core/FileUri.h"
#include "addin/core/PathNames.h"
#include "addin/core/SizeText.h"
#include "base/Ascii.h"

namespace addin {

namespace DetachBlock {
namespace {

// What a line shows, with the path already in the form its link reads back as, so that a line
// written and a line read back render alike.
struct Shown {
    std::u16string displayName;
    std::u16string path;
    std::string uri;
    std::u16string sizeText;
};

std::optional<Shown> MakeShown(std::u16string displayName, const std::u16string& path, std::u16string sizeText) {
    const auto uri = FileUri::FromPath(path);
    if (!uri) return std::nullopt;
    const auto normal = FileUri::ToPath(*uri);
    if (!normal) return std::nullopt;
    // A line break would split the line; a formatting control could make the text read as another.
    for (char16_t& c : displayName)
        if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029 || PathNames::IsFormattingControl(c)) c = u'_';
    return Shown{std::move(displayName), *normal, *uri, std::move(sizeText)};
}

std::optional<Shown> ShownOf(const DetachedFile& file) {
    return MakeShown(file.displayName, file.path, SizeText(file.size));
}

// The folder as the user reads it: no long-path prefix, no trailing backslash but a drive root's.
std::u16string FolderText(std::u16string_view path) {
    std::u16string plain(path);
    if (plain.rfind(u"\\\\?\\UNC\\", 0) == 0) {
        plain.erase(2, 6);
    } else if (plain.rfind(u"\\\\?\\", 0) == 0) {
        plain.erase(0, 4);
    }
    std::u16string folder = PathNames::GetPathFolder(plain);
    if (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
    return folder;
}

template <class Char>
std::basic_string<Char> Widen(std::string_view ascii) {
    return std::basic_string<Char>(ascii.begin(), ascii.end());
}

// One format's lines: the block's first and last lines, an entry's line (each with its line end)
// and how an entry's line (without it) reads back.
template <class Char>
struct Syntax {
    using Text = std::basic_string<Char>;
    using View = std::basic_string_view<Char>;
    Text open;
    Text close;
    Text (*render)(const Shown&);
    std::optional<Shown> (*parse)(View line);
    // Where a new block goes; npos when the body takes none.
    std::size_t (*top)(View body);
    // A link as its line holds it, up to the character that ends it.
    Text (*link)(const std::string& uri);
};

template <class Char>
std::basic_string<Char> LineEnd() {
    return {Char('\r'), Char('\n')};
}

// The block as found in a body: where it starts and ends, and its entry lines (without line ends).
template <class Char>
struct Found {
    std::size_t begin = 0;
    std::size_t end = 0;       // just after the closing line
    std::size_t closeAt = 0;   // the closing line's start
    struct Line {
        std::size_t at;
        std::basic_string_view<Char> text;
    };
    std::vector<Line> lines;
};

// The first block that is whole: its opening line, lines, and its closing line. An opening line
// that is never closed, or that another opening line follows before the close, starts none.
template <class Char>
std::optional<Found<Char>> FindBlock(const Syntax<Char>& syntax, std::basic_string_view<Char> body) {
    using View = std::basic_string_view<Char>;
    const std::basic_string<Char> lineEnd = LineEnd<Char>();
    const View open = View(syntax.open).substr(0, syntax.open.size() - 2);
    const View close = View(syntax.close).substr(0, syntax.close.size() - 2);
    for (auto begin = body.find(syntax.open); begin != View::npos; begin = body.find(syntax.open, begin + 1)) {
        Found<Char> found;
        found.begin = begin;
        for (std::size_t at = begin + syntax.open.size();;) {
            const auto stop = body.find(lineEnd, at);
            if (stop == View::npos) return std::nullopt;  // nothing after is closed either
            const auto line = body.substr(at, stop - at);
            if (line == close) {
                found.closeAt = at;
                found.end = stop + 2;
                return found;
            }
            if (line.find(open) != View::npos) break;
            found.lines.push_back({at, line});
            at = stop + 2;
        }
    }
    return std::nullopt;
}

template <class Char>
bool ReadsAsWritten(const Syntax<Char>& syntax, std::basic_string_view<Char> line, Shown* shown) {
    auto parsed = syntax.parse(line);
    if (!parsed) return false;
    auto remade = MakeShown(parsed->displayName, parsed->path, parsed->sizeText);
    if (!remade) return false;
    const auto rendered = syntax.render(*remade);
    if (std::basic_string_view<Char>(rendered).substr(0, rendered.size() - 2) != line) return false;
    if (shown) *shown = std::move(*remade);
    return true;
}

template <class Char>
std::optional<std::basic_string<Char>> AddTo(const Syntax<Char>& syntax, std::basic_string_view<Char> body,
                                              const std::vector<DetachedFile>& files) {
    std::vector<std::basic_string<Char>> lines;
    for (const DetachedFile& file : files) {
        const auto shown = ShownOf(file);
        if (!shown) return std::nullopt;
        lines.push_back(syntax.render(*shown));
    }
    const auto found = FindBlock(syntax, body);
    std::basic_string<Char> added;
    for (const auto& line : lines) {
        const auto view = std::basic_string_view<Char>(line).substr(0, line.size() - 2);
        const auto inBlock = found && std::any_of(found->lines.begin(), found->lines.end(),
                                                   [&](const auto& held) { return held.text == view; });
        if (!inBlock && added.find(line) == std::basic_string<Char>::npos) added += line;
    }
    std::basic_string<Char> result(body);
    if (found) {
        result.insert(found->closeAt, added);
        return result;
    }
    const std::size_t top = syntax.top(body);
    if (top == std::basic_string_view<Char>::npos) return std::nullopt;
    if (added.empty()) return result;
    result.insert(top, syntax.open + added + syntax.close);
    return result;
}

template <class Char>
Listing ListOf(const Syntax<Char>& syntax, std::basic_string_view<Char> body) {
    Listing listing;
    const auto found = FindBlock(syntax, body);
    if (!found) return listing;
    listing.hasBlock = true;
    for (const auto& line : found->lines) {
        Shown shown;
        if (ReadsAsWritten(syntax, line.text, &shown)) {
            listing.files.push_back({std::move(shown.displayName), std::move(shown.path), std::move(shown.sizeText)});
        } else {
            ++listing.edited;
        }
    }
    return listing;
}

template <class Char>
Removal<std::basic_string<Char>> RemoveFrom(const Syntax<Char>& syntax, std::basic_string_view<Char> body,
                                            const DetachedFile& file) {
    Removal<std::basic_string<Char>> removal{Outcome::NotFound, std::basic_string<Char>(body)};
    const auto shown = ShownOf(file);
    const auto found = FindBlock(syntax, body);
    if (!shown || !found) return removal;
    const auto rendered = syntax.render(*shown);
    const auto wanted = std::basic_string_view<Char>(rendered).substr(0, rendered.size() - 2);
    const auto link = syntax.link(shown->uri);
    for (const auto& line : found->lines) {
        if (line.text == wanted) {
            if (found->lines.size() == 1) {
                removal.body.erase(found->begin, found->end - found->begin);
            } else {
                removal.body.erase(line.at, line.text.size() + 2);
            }
            removal.outcome = Outcome::Removed;
            return removal;
        }
    }
    for (const auto& line : found->lines)
        if (line.text.find(link) != std::basic_string_view<Char>::npos) removal.outcome = Outcome::Edited;
    return removal;
}

// Splits `line` at the next `marker`: the text before it, and `line` moved past it.
template <class Char>
std::optional<std::basic_string_view<Char>> TakeUntil(std::basic_string_view<Char>& line, std::string_view marker) {
    const auto wide = Widen<Char>(marker);
    const auto at = line.find(wide);
    if (at == std::basic_string_view<Char>::npos) return std::nullopt;
    const auto before = line.substr(0, at);
    line.remove_prefix(at + wide.size());
    return before;
}

template <class Char>
bool TakePrefix(std::basic_string_view<Char>& line, std::string_view prefix) {
    const auto wide = Widen<Char>(prefix);
    if (line.substr(0, wide.size()) != wide) return false;
    line.remove_prefix(wide.size());
    return true;
}

std::optional<std::string> Ascii(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c >= 0x80) return std::nullopt;
        out += static_cast<char>(c);
    }
    return out;
}

// --- HTML ---

std::u16string HtmlEscaped(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text) {
        switch (c) {
            case u'&': out += u"&amp;"; break;
            case u'<': out += u"&lt;"; break;
            case u'>': out += u"&gt;"; break;
            case u'"': out += u"&quot;"; break;
            case u'\'': out += u"&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

// The inverse of HtmlEscaped; other references stay as they are (the line then does not read
// back as written).
std::u16string HtmlUnescaped(std::u16string_view text) {
    static constexpr std::array<std::pair<std::u16string_view, char16_t>, 5> kEntities{
        {{u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&#39;", u'\''}}};
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                out += c;
                i += entity.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[i];
    }
    return out;
}

std::u16string HtmlLine(const Shown& shown) {
    return u"<div><a href=\"" + HtmlEscaped(Widen<char16_t>(shown.uri)) + u"\">" + HtmlEscaped(shown.displayName) +
           u"</a> (" + HtmlEscaped(shown.sizeText) + u") in " + HtmlEscaped(FolderText(shown.path)) + u"</div>\r\n";
}

std::optional<Shown> ParseHtmlLine(std::u16string_view line) {
    if (!TakePrefix(line, "<div><a href=\"")) return std::nullopt;
    const auto href = TakeUntil(line, "\">");
    const auto name = TakeUntil(line, "</a> (");
    const auto size = TakeUntil(line, ") in ");
    if (!href || !name || !size) return std::nullopt;
    const auto uri = Ascii(HtmlUnescaped(*href));
    if (!uri) return std::nullopt;
    const auto path = FileUri::ToPath(*uri);
    if (!path) return std::nullopt;
    return Shown{HtmlUnescaped(*name), *path, *uri, HtmlUnescaped(*size)};
}

bool IsTagNameCharacter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u':';
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }

// The end of the tag whose name ends at `at`: the position of its ">", npos when it has none. A ">"
// in a quoted attribute value does not end it.
std::size_t TagEnd(std::u16string_view html, std::size_t at) {
    bool afterEquals = false;
    for (; at < html.size(); ++at) {
        const char16_t c = html[at];
        if (c == u'>') return at;
        if (afterEquals && (c == u'"' || c == u'\'')) {
            at = html.find(c, at + 1);
            if (at == std::u16string_view::npos) return at;
            afterEquals = false;
        } else if (c == u'=') {
            afterEquals = true;
        } else if (!IsSpace(c)) {
            afterEquals = false;
        }
    }
    return std::u16string_view::npos;
}

// Right after the body's start tag; the very start when there is none. A tag inside a comment, a
// script, a style sheet or a title's or text area's text is no tag.
std::size_t HtmlTop(std::u16string_view html) {
    const std::u16string lower = base::ToAsciiLower(std::u16string(html));
    for (std::size_t at = lower.find(u'<'); at != std::u16string::npos; at = lower.find(u'<', at)) {
        if (lower.compare(at, 4, u"<!--") == 0) {
            const auto end = lower.find(u"-->", at + 4);
            if (end == std::u16string::npos) return 0;
            at = end + 3;
            continue;
        }
        std::size_t nameAt = at + 1;
        const bool endTag = nameAt < lower.size() && lower[nameAt] == u'/';
        if (endTag) ++nameAt;
        if (nameAt < lower.size() && (lower[nameAt] == u'!' || lower[nameAt] == u'?')) {
            const auto end = lower.find(u'>', nameAt);
            if (end == std::u16string::npos) return 0;
            at = end + 1;
            continue;
        }
        std::size_t nameEnd = nameAt;
        while (nameEnd < lower.size() && IsTagNameCharacter(lower[nameEnd])) ++nameEnd;
        if (nameEnd == nameAt || !(lower[nameAt] >= u'a' && lower[nameAt] <= u'z')) {
            ++at;  // a "<" that starts no tag is text
            continue;
        }
        const auto end = TagEnd(lower, nameEnd);
        if (end == std::u16string::npos) return 0;
        const std::u16string_view name = std::u16string_view(lower).substr(nameAt, nameEnd - nameAt);
        if (!endTag && name == u"body") return end + 1;
        at = end + 1;
        if (!endTag && (name == u"script" || name == u"style" || name == u"title" || name == u"textarea" ||
                        name == u"xmp")) {
            const auto close = lower.find(u"</" + std::u16string(name), at);
            if (close == std::u16string::npos) return 0;
            at = close;
        }
    }
    return 0;
}

const Syntax<char16_t>& Html() {
    static const Syntax<char16_t> syntax{u"<div id=\"tallowby-saved-attachments\">\r\n", u"</div>\r\n", HtmlLine,
                                         ParseHtmlLine, HtmlTop,
                                         [](const std::string& uri) { return u"\"" + HtmlEscaped(Widen<char16_t>(uri)) + u"\""; }};
    return syntax;
}

// --- Plain text ---

std::u16string PlainLine(const Shown& shown) {
    return shown.displayName + u" (" + shown.sizeText + u") <" + Widen<char16_t>(shown.uri) + u">\r\n";
}

std::optional<Shown> ParsePlainLine(std::u16string_view line) {
    if (line.empty() || line.back() != u'>') return std::nullopt;
    const auto linkAt = line.rfind(u" <");
    if (linkAt == std::u16string_view::npos) return std::nullopt;
    const auto uri = Ascii(line.substr(linkAt + 2, line.size() - linkAt - 3));
    const auto before = line.substr(0, linkAt);
    const auto sizeAt = before.rfind(u" (");
    if (!uri || sizeAt == std::u16string_view::npos || before.empty() || before.back() != u')') return std::nullopt;
    const auto path = FileUri::ToPath(*uri);
    if (!path) return std::nullopt;
    return Shown{std::u16string(before.substr(0, sizeAt)), *path, *uri,
                 std::u16string(before.substr(sizeAt + 2, before.size() - sizeAt - 3))};
}

std::size_t PlainTop(std::u16string_view) { return 0; }

const Syntax<char16_t>& Plain() {
    static const Syntax<char16_t> syntax{u"--- Attachments saved as files ---\r\n",
                                         u"--- End of attachments saved as files ---\r\n", PlainLine, ParsePlainLine,
                                         PlainTop,
                                         [](const std::string& uri) { return u"<" + Widen<char16_t>(uri) + u">"; }};
    return syntax;
}

// --- RTF ---

std::string RtfEscaped(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x80) {
            out += static_cast<char>(c);
        } else {
            // \uN takes a signed 16-bit number; "?" is what a reader without Unicode shows.
            out += "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
        }
    }
    return out;
}

std::optional<std::u16string> RtfUnescaped(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '}') return std::nullopt;
        if (c != '\\') {
            out += static_cast<char16_t>(static_cast<unsigned char>(c));
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        if (text[i] == '\\' || text[i] == '{' || text[i] == '}') {
            out += static_cast<char16_t>(text[i]);
            continue;
        }
        if (text[i] != 'u') return std::nullopt;
        std::size_t end = i + 1;
        if (end < text.size() && text[end] == '-') ++end;
        int value = 0;
        std::size_t digits = 0;
        for (; end < text.size() && text[end] >= '0' && text[end] <= '9' && digits < 6; ++end, ++digits)
            value = value * 10 + (text[end] - '0');
        if (digits == 0 || end == text.size() || text[end] != '?') return std::nullopt;
        if (text[i + 1] == '-') value = -value;
        if (value < -32768 || value > 65535) return std::nullopt;
        out += static_cast<char16_t>(static_cast<uint16_t>(value));
        i = end;
    }
    return out;
}

std::string RtfLine(const Shown& shown) {
    return "{\\field{\\*\\fldinst HYPERLINK \"" + shown.uri + "\"}{\\fldrslt " + RtfEscaped(shown.displayName) +
           "}} (" + RtfEscaped(shown.sizeText) + ") in " + RtfEscaped(FolderText(shown.path)) + "\\par\r\n";
}

std::optional<Shown> ParseRtfLine(std::string_view line) {
    if (!TakePrefix(line, "{\\field{\\*\\fldinst HYPERLINK \"")) return std::nullopt;
    const auto uri = TakeUntil(line, "\"}{\\fldrslt ");
    const auto name = TakeUntil(line, "}} (");
    const auto size = TakeUntil(line, ") in ");
    if (!uri || !name || !size) return std::nullopt;
    const auto path = FileUri::ToPath(*uri);
    const auto displayName = RtfUnescaped(*name);
    const auto sizeText = RtfUnescaped(*size);
    if (!path || !displayName || !sizeText) return std::nullopt;
    return Shown{*displayName, *path, std::string(*uri), *sizeText};
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct ControlWord {
    std::string_view name;
    long parameter = 0;
    std::size_t end = 0;  // after the word and its delimiting space
};

// The control word at `at` (a backslash followed by a letter).
ControlWord ReadControlWord(std::string_view rtf, std::size_t at) {
    ControlWord word;
    std::size_t i = at + 1;
    while (i < rtf.size() && IsLetter(rtf[i])) ++i;
    word.name = rtf.substr(at + 1, i - at - 1);
    bool negative = false;
    if (i < rtf.size() && rtf[i] == '-') negative = true, ++i;
    for (; i < rtf.size() && IsDigit(rtf[i]); ++i) word.parameter = std::min(word.parameter * 10 + (rtf[i] - '0'), 1L << 30);
    if (negative) word.parameter = -word.parameter;
    if (i < rtf.size() && rtf[i] == ' ') ++i;
    word.end = i;
    return word;
}

// After the group that starts at `at`; npos when it is never closed.
std::size_t GroupEnd(std::string_view rtf, std::size_t at) {
    int depth = 0;
    for (std::size_t i = at; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{') {
            ++depth, ++i;
        } else if (c == '}') {
            ++i;
            if (--depth == 0) return i;
        } else if (c == '\\' && i + 1 < rtf.size() && IsLetter(rtf[i + 1])) {
            const ControlWord word = ReadControlWord(rtf, i);
            i = word.end;
            // Binary data may hold braces.
            if (word.name == "bin" && word.parameter > 0) i += static_cast<std::size_t>(word.parameter);
        } else {
            i += c == '\\' ? 2 : 1;
        }
    }
    return std::string_view::npos;
}

bool IsHeaderGroup(std::string_view name) {
    static constexpr std::string_view kNames[] = {"fonttbl", "filetbl", "colortbl", "stylesheet", "listtable",
                                                  "listoverridetable", "revtbl", "info", "rsidtbl", "generator",
                                                  "xmlnstbl", "mmathPr", "latentstyles", "pgdsctbl", "defchp",
                                                  "defpap", "themedata", "colorschememapping", "userprops"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// Control words that start the document's text or its paragraphs.
bool StartsText(std::string_view name) {
    static constexpr std::string_view kNames[] = {
        "pard",  "plain",  "sectd",     "par",       "sect",   "line",      "tab",       "page",
        "u",     "bin",    "emdash",    "endash",    "bullet", "lquote",    "rquote",    "ldblquote",
        "rdblquote", "emspace", "enspace", "qmspace", "zwj",   "zwnj",      "ltrmark",   "rtlmark",
        "chdate", "chtime", "chpgn",    "cell",      "row",    "trowd",     "intbl",     "column",
        "softline", "softpage", "ltrpar", "rtlpar",  "field",  "object",    "pict",      "shp"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// Before the first thing after the header: text, a paragraph, a group that is no header table;
// npos when `rtf` is no RTF document.
std::size_t RtfTop(std::string_view rtf) {
    if (rtf.substr(0, 5) != "{\\rtf") return std::string_view::npos;
    for (std::size_t at = ReadControlWord(rtf, 1).end; at < rtf.size();) {
        const char c = rtf[at];
        if (c == '\r' || c == '\n') {
            ++at;
        } else if (c == '{') {
            std::size_t nameAt = at + 1;
            while (nameAt < rtf.size() && (rtf[nameAt] == '\r' || rtf[nameAt] == '\n')) ++nameAt;
            const bool ignorable = rtf.substr(nameAt, 2) == "\\*";
            if (ignorable) nameAt += 2;
            while (nameAt < rtf.size() && (rtf[nameAt] == '\r' || rtf[nameAt] == '\n' || rtf[nameAt] == ' ')) ++nameAt;
            const bool header = nameAt + 1 < rtf.size() && rtf[nameAt] == '\\' && IsLetter(rtf[nameAt + 1]) &&
                                (ignorable || IsHeaderGroup(ReadControlWord(rtf, nameAt).name));
            if (!header) return at;
            at = GroupEnd(rtf, at);
        } else if (c == '\\' && at + 1 < rtf.size() && IsLetter(rtf[at + 1])) {
            const ControlWord word = ReadControlWord(rtf, at);
            if (StartsText(word.name)) return at;
            at = word.end;
        } else {
            return at;  // text, a control symbol, or the document's end
        }
    }
    return std::string_view::npos;
}

const Syntax<char>& Rtf() {
    static const Syntax<char> syntax{"{\\pard\\plain\\uc1{\\*\\tallowbysavedattachments}\r\n", "}\r\n", RtfLine,
                                     ParseRtfLine, RtfTop,
                                     [](const std::string& uri) { return "\"" + uri + "\""; }};
    return syntax;
}

}  // namespace

std::optional<std::u16string> Add(TextFormat format, std::u16string_view body, const std::vector<DetachedFile>& files) {
    return AddTo(format == TextFormat::Html ? Html() : Plain(), body, files);
}

std::optional<std::string> AddRtf(std::string_view body, const std::vector<DetachedFile>& files) {
    return AddTo(Rtf(), body, files);
}

Listing List(TextFormat format, std::u16string_view body) {
    return ListOf(format == TextFormat::Html ? Html() : Plain(), body);
}

Listing ListRtf(std::string_view body) { return ListOf(Rtf(), body); }

Removal<std::u16string> Remove(TextFormat format, std::u16string_view body, const DetachedFile& file) {
    return RemoveFrom(format == TextFormat::Html ? Html() : Plain(), body, file);
}

Removal<std::string> RemoveRtf(std::string_view body, const DetachedFile& file) {
    return RemoveFrom(Rtf(), body, file);
}

}  // namespace DetachBlock

}  // namespace addin
