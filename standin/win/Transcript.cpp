#include "standin/win/Transcript.h"

#include <cstdio>

#include "base/Utf8.h"

namespace standin::win {

void Transcript::Line(std::u16string_view text) noexcept {
    try {
        std::string bytes = ToUtf8(text);
        bytes += '\n';
        std::lock_guard lock(mutex_);
        DWORD written = 0;
        (void)WriteFile(out_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    } catch (...) {
        // Out of memory while writing a line: nothing sensible is left to report it with.
    }
}

void Transcript::Failure(std::u16string_view text) noexcept {
    {
        std::lock_guard lock(mutex_);
        failed_ = true;
    }
    try {
        Line(u"FAILED " + std::u16string(text));
    } catch (...) {
    }
}

bool Transcript::Failed() const noexcept {
    std::lock_guard lock(mutex_);
    return failed_;
}

std::u16string Transcript::Quote(std::u16string_view text) {
    std::u16string q = u"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        switch (c) {
            case u'"': q += u"\\\""; break;
            // A backslash is doubled only where reading it back would otherwise be ambiguous, so
            // Windows paths and registry keys stay readable.
            case u'\\':
                q += i + 1 == text.size() || text[i + 1] == u'"' || text[i + 1] == u'\\' ? u"\\\\" : u"\\";
                break;
            case u'\n': q += u"\\n"; break;
            case u'\r': q += u"\\r"; break;
            case u'\t': q += u"\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(c));
                    q.append(buffer, buffer + 4);
                } else {
                    q += c;
                }
        }
    }
    return q + u"\"";
}

std::string ToUtf8(std::u16string_view text) { return base::ToUtf8Shown(text); }

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    if (text.empty()) return out;
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    out.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::u16string Num(long long n) {
    const std::string s = std::to_string(n);
    return {s.begin(), s.end()};
}

std::u16string Hex(long hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
    return {buffer, buffer + 10};
}

}  // namespace standin::win
