#include "standin/win/Script.h"

namespace standin::win {

std::vector<std::u16string> SplitWords(std::u16string_view line, int number) {
    std::vector<std::u16string> words;
    size_t i = 0;
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; };
    while (i < line.size()) {
        while (i < line.size() && blank(line[i])) ++i;
        if (i >= line.size() || line[i] == u'#') break;
        std::u16string word;
        if (line[i] == u'"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char16_t c = line[i++];
                if (c == u'"') {
                    closed = true;
                    break;
                }
                if (c == u'\\' && i < line.size() && (line[i] == u'"' || line[i] == u'\\')) {
                    word += line[i++];
                } else {
                    word += c;
                }
            }
            if (!closed) throw ScriptError(number, u"unterminated quote");
            if (i < line.size() && !blank(line[i]) && line[i] != u'#')
                throw ScriptError(number, u"a quoted word must be followed by a blank");
        } else {
            while (i < line.size() && !blank(line[i])) word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::vector<ScriptLine> ParseScript(std::u16string_view text) {
    if (!text.empty() && text.front() == u'\xFEFF') text.remove_prefix(1);
    std::vector<ScriptLine> lines;
    int number = 0;
    while (!text.empty() || number == 0) {
        ++number;
        const size_t end = text.find(u'\n');
        std::u16string_view line = text.substr(0, end);
        text = end == std::u16string_view::npos ? std::u16string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        auto words = SplitWords(line, number);
        if (!words.empty()) lines.push_back({number, std::move(words), std::u16string(line)});
        if (text.empty()) break;
    }
    return lines;
}

}  // namespace standin::win
