#include "standin/model/Markup.h"

#include <algorithm>
#include <utility>

#include "base/Ascii.h"

namespace standin {

namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Names: ASCII by the letter of XML 1.0; every character beyond ASCII is taken as a name character.
bool IsNameStart(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c >= 0x80; }
bool IsNameChar(char16_t c) { return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.'; }

std::u16string Text(std::u16string_view s) { return std::u16string(s); }

struct RawAttribute {
    std::u16string qname;
    std::u16string value;
    size_t offset;
};

class Reader {
public:
    explicit Reader(std::u16string_view text) : text_(text) {}

    XmlElement Document() {
        CheckCharacters();
        if (Peek(u"\uFEFF")) ++at_;
        const size_t start = at_;
        Misc(start);
        if (at_ >= text_.size() || text_[at_] != u'<') Fail(u"the root element is missing");
        XmlElement root = Element();
        Misc(start);
        if (at_ < text_.size()) Fail(u"only comments and blanks may follow the root element");
        return root;
    }

private:
    [[noreturn]] void Fail(std::u16string message) const { throw XmlError{at_, std::move(message)}; }
    [[noreturn]] void FailAt(size_t where, std::u16string message) const { throw XmlError{where, std::move(message)}; }

    bool Peek(std::u16string_view s) const { return text_.substr(at_, s.size()) == s; }
    bool Next(std::u16string_view s) {
        if (!Peek(s)) return false;
        at_ += s.size();
        return true;
    }
    void Expect(char16_t c, const char16_t* what) {
        if (at_ >= text_.size() || text_[at_] != c) Fail(std::u16string(what) + u" expected");
        ++at_;
    }
    bool Space() {
        const size_t from = at_;
        while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
        return at_ > from;
    }

    // Every character must be one XML allows: no controls but tab and line ends, no lone
    // surrogates, no U+FFFE or U+FFFF.
    void CheckCharacters() {
        for (size_t i = 0; i < text_.size(); ++i) {
            const char16_t c = text_[i];
            bool ok = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text_.size() && text_[i + 1] >= 0xDC00 && text_[i + 1] <= 0xDFFF) {
                ok = true;
                ++i;
            }
            if (!ok) FailAt(i, u"a character XML does not allow");
        }
    }

    // Blanks, comments and processing instructions; the XML declaration only at `documentStart`.
    void Misc(size_t documentStart) {
        for (;;) {
            Space();
            if (Peek(u"<!--")) {
                Comment();
            } else if (Peek(u"<?")) {
                Instruction(documentStart);
            } else if (Peek(u"<!")) {
                Fail(u"a document type declaration is not accepted");
            } else {
                return;
            }
        }
    }

    void Comment() {
        at_ += 4;
        const size_t end = text_.find(u"--", at_);
        if (end == std::u16string_view::npos) Fail(u"the comment is not closed");
        at_ = end;
        if (!Next(u"-->")) Fail(u"\"--\" inside a comment");
    }

    void Instruction(size_t documentStart) {
        const size_t start = at_;
        at_ += 2;
        const std::u16string target = base::ToAsciiLower(Name());
        if (target == u"xml" && start != documentStart) FailAt(start, u"the XML declaration must open the document");
        const size_t end = text_.find(u"?>", at_);
        if (end == std::u16string_view::npos) Fail(u"the processing instruction is not closed");
        at_ = end + 2;
    }

    std::u16string Name() {
        const size_t start = at_;
        if (at_ >= text_.size() || !IsNameStart(text_[at_])) Fail(u"a name expected");
        while (at_ < text_.size() && IsNameChar(text_[at_])) ++at_;
        return Text(text_.substr(start, at_ - start));
    }

    void Reference(std::u16string& out) {
        const size_t start = at_;
        ++at_;  // '&'
        if (Next(u"#")) {
            const bool hex = Next(u"x");
            unsigned long value = 0;
            size_t digits = 0;
            for (; at_ < text_.size() && text_[at_] != u';'; ++at_, ++digits) {
                const char16_t c = text_[at_];
                int d = -1;
                if (c >= u'0' && c <= u'9') d = c - u'0';
                else if (hex && c >= u'a' && c <= u'f') d = c - u'a' + 10;
                else if (hex && c >= u'A' && c <= u'F') d = c - u'A' + 10;
                if (d < 0) FailAt(start, u"a malformed character reference");
                value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
                if (value > 0x10FFFF) FailAt(start, u"a character reference beyond Unicode");
            }
            if (digits == 0 || !Next(u";")) FailAt(start, u"a malformed character reference");
            const bool ok = value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value <= 0xD7FF) ||
                            (value >= 0xE000 && value <= 0xFFFD) || value >= 0x10000;
            if (!ok) FailAt(start, u"a character reference to a character XML does not allow");
            if (value >= 0x10000) {
                value -= 0x10000;
                out += static_cast<char16_t>(0xD800 + (value >> 10));
                out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
            } else {
                out += static_cast<char16_t>(value);
            }
            return;
        }
        static const std::pair<std::u16string_view, char16_t> kEntities[] = {
            {u"lt;", u'<'}, {u"gt;", u'>'}, {u"amp;", u'&'}, {u"apos;", u'\''}, {u"quot;", u'"'}};
        for (const auto& [name, c] : kEntities) {
            if (Next(name)) {
                out += c;
                return;
            }
        }
        FailAt(start, u"an unknown entity (only the five predefined ones exist without a DTD)");
    }

    std::u16string AttributeValue() {
        if (at_ >= text_.size() || (text_[at_] != u'"' && text_[at_] != u'\'')) Fail(u"a quoted value expected");
        const char16_t quote = text_[at_++];
        std::u16string value;
        for (;;) {
            if (at_ >= text_.size()) Fail(u"the attribute value is not closed");
            const char16_t c = text_[at_];
            if (c == quote) break;
            if (c == u'<') Fail(u"\"<\" inside an attribute value");
            if (c == u'&') {
                Reference(value);
                continue;
            }
            value += IsSpace(c) ? u' ' : c;  // attribute-value normalization
            ++at_;
        }
        ++at_;
        return value;
    }

    // The namespace of `prefix` in the scope of the element being read.
    std::u16string Lookup(const std::u16string& prefix, size_t where) const {
        if (prefix == u"xml") return u"http://www.w3.org/XML/1998/namespace";
        for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it)
            if (it->first == prefix) return it->second;
        if (prefix.empty()) return {};
        FailAt(where, u"the prefix \"" + prefix + u"\" is not declared");
    }

    // Splits a qualified name; at most one ":" and never at either end.
    static bool Split(const std::u16string& qname, std::u16string& prefix, std::u16string& local) {
        const size_t colon = qname.find(u':');
        if (colon == std::u16string::npos) {
            prefix.clear();
            local = qname;
            return true;
        }
        if (colon == 0 || colon + 1 == qname.size() || qname.find(u':', colon + 1) != std::u16string::npos) return false;
        prefix = qname.substr(0, colon);
        local = qname.substr(colon + 1);
        return true;
    }

    XmlElement Element() {
        XmlElement element;
        element.offset = at_;
        ++at_;  // '<'
        const std::u16string qname = Name();
        std::vector<RawAttribute> raw;
        bool empty = false;
        for (;;) {
            const bool blank = Space();
            if (Next(u"/>")) {
                empty = true;
                break;
            }
            if (Next(u">")) break;
            if (at_ >= text_.size()) Fail(u"the start tag is not closed");
            if (!blank) Fail(u"a blank expected between attributes");
            const size_t offset = at_;
            std::u16string name = Name();
            Space();
            Expect(u'=', u"\"=\"");
            Space();
            std::u16string value = AttributeValue();
            if (std::any_of(raw.begin(), raw.end(), [&](const RawAttribute& a) { return a.qname == name; }))
                FailAt(offset, u"the attribute \"" + name + u"\" appears twice");
            raw.push_back({std::move(name), std::move(value), offset});
        }

        const size_t scope = bindings_.size();
        for (const RawAttribute& a : raw) {
            if (a.qname == u"xmlns") {
                bindings_.emplace_back(u"", a.value);
            } else if (a.qname.starts_with(u"xmlns:")) {
                const std::u16string prefix = a.qname.substr(6);
                if (prefix.empty() || prefix.find(u':') != std::u16string::npos || prefix == u"xmlns" || prefix == u"xml")
                    FailAt(a.offset, u"a namespace declaration for a reserved or malformed prefix");
                if (a.value.empty()) FailAt(a.offset, u"a prefix cannot be bound to no namespace");
                bindings_.emplace_back(prefix, a.value);
            }
        }
        std::u16string prefix;
        if (!Split(qname, prefix, element.name)) FailAt(element.offset, u"a malformed element name " + qname);
        element.ns = Lookup(prefix, element.offset);
        for (const RawAttribute& a : raw) {
            if (a.qname == u"xmlns" || a.qname.starts_with(u"xmlns:")) continue;
            XmlAttribute attribute;
            std::u16string attributePrefix;
            if (!Split(a.qname, attributePrefix, attribute.name))
                FailAt(a.offset, u"a malformed attribute name " + a.qname);
            if (!attributePrefix.empty()) attribute.ns = Lookup(attributePrefix, a.offset);
            attribute.value = a.value;
            if (std::any_of(element.attributes.begin(), element.attributes.end(), [&](const XmlAttribute& b) {
                    return b.ns == attribute.ns && b.name == attribute.name;
                }))
                FailAt(a.offset, u"the attribute \"" + a.qname + u"\" appears twice");
            element.attributes.push_back(std::move(attribute));
        }

        if (!empty) Content(element, qname);
        bindings_.resize(scope);
        return element;
    }

    void Content(XmlElement& element, const std::u16string& qname) {
        std::u16string ignored;
        for (;;) {
            if (at_ >= text_.size()) FailAt(element.offset, u"the element " + qname + u" is not closed");
            if (Next(u"</")) {
                const size_t where = at_;
                const std::u16string end = Name();
                Space();
                Expect(u'>', u"\">\"");
                if (end != qname) FailAt(where, u"the end tag " + end + u" does not close " + qname);
                return;
            }
            if (Peek(u"<!--")) {
                Comment();
            } else if (Next(u"<![CDATA[")) {
                const size_t end = text_.find(u"]]>", at_);
                if (end == std::u16string_view::npos) Fail(u"the CDATA section is not closed");
                at_ = end + 3;
            } else if (Peek(u"<?")) {
                Instruction(std::u16string_view::npos);
            } else if (Peek(u"<")) {
                element.children.push_back(Element());
            } else if (Peek(u"&")) {
                Reference(ignored);
            } else if (Peek(u"]]>")) {
                Fail(u"\"]]>\" in text");
            } else {
                ++at_;  // text: the ribbon's markup has none that matters
            }
        }
    }

    std::u16string_view text_;
    size_t at_ = 0;
    std::vector<std::pair<std::u16string, std::u16string>> bindings_;
};

}  // namespace

const std::u16string* XmlElement::Attribute(std::u16string_view attribute) const {
    for (const XmlAttribute& a : attributes)
        if (a.ns.empty() && a.name == attribute) return &a.value;
    return nullptr;
}

XmlElement ParseXml(std::u16string_view document) { return Reader(document).Document(); }

}  // namespace standin
