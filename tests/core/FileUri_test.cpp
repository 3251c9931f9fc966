// Links to saved files: the URI of each path form, the bytes that must be escaped, and the way back.
#include "addin/core/FileUri.h"

#include <gtest/gtest.h>

#include "addin/core/PathNames.h"
#include "base/Utf8.h"

using namespace addin;

namespace {

std::string Narrow(const std::u16string& text) { return base::ToUtf8(text).value_or("<lone surrogate>"); }

}  // namespace

TEST(FileUri, WritesEachPathFormAndReadsItBack) {
    struct Case {
        std::u16string path;
        std::string uri;
        std::u16string back;  // the plain form the link reads back as
    };
    const Case cases[] = {
        {u"C:\\dir\\a b.txt", "file:///C:/dir/a%20b.txt", u"C:\\dir\\a b.txt"},
        {u"d:\\x.txt", "file:///d:/x.txt", u"d:\\x.txt"},
        {u"C:/dir/x.txt", "file:///C:/dir/x.txt", u"C:\\dir\\x.txt"},
        {u"\\\\server\\share\\dir\\r.doc", "file://server/share/dir/r.doc", u"\\\\server\\share\\dir\\r.doc"},
        {u"\\\\?\\C:\\dir\\x.txt", "file:///C:/dir/x.txt", u"C:\\dir\\x.txt"},
        {u"\\\\?\\UNC\\server\\share\\x.txt", "file://server/share/x.txt", u"\\\\server\\share\\x.txt"},
        {u"C:\\100%\\#1 {a} `^`.txt", "file:///C:/100%25/%231%20%7Ba%7D%20%60%5E%60.txt", u"C:\\100%\\#1 {a} `^`.txt"},
        {u"C:\\Hello!.txt", "file:///C:/Hello%21.txt", u"C:\\Hello!.txt"},
        {u"C:\\a&b;c=d,e+f$(g)'h~_-.txt", "file:///C:/a&b;c=d,e+f$(g)'h~_-.txt", u"C:\\a&b;c=d,e+f$(g)'h~_-.txt"},
        {u"C:\\x@y[1].txt", "file:///C:/x%40y%5B1%5D.txt", u"C:\\x@y[1].txt"},
        {u"C:\\R\u00E9sum\u00E9.pdf", "file:///C:/R%C3%A9sum%C3%A9.pdf", u"C:\\R\u00E9sum\u00E9.pdf"},
        {u"C:\\\u65E5\u672C.txt", "file:///C:/%E6%97%A5%E6%9C%AC.txt", u"C:\\\u65E5\u672C.txt"},
        {u"C:\\\U0001F600.png", "file:///C:/%F0%9F%98%80.png", u"C:\\\U0001F600.png"},
        {u"\\\\s\u00E9rver\\share\\x", "file://s%C3%A9rver/share/x", u"\\\\s\u00E9rver\\share\\x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        EXPECT_EQ(FileUri::FromPath(c.path), c.uri);
        EXPECT_EQ(FileUri::ToPath(c.uri), c.back);
    }
}

TEST(FileUri, RefusesWhatNamesNoFile) {
    const std::u16string paths[] = {
        u"",
        u"a.txt",
        u"dir\\a.txt",
        u"\\dir\\a.txt",
        u"C:a.txt",
        u"C:\\",
        u"C:\\dir\\",
        u"C:\\dir\\\\a.txt",
        u"C:\\dir\\..\\a.txt",
        u"C:\\.\\a.txt",
        u"1:\\a.txt",
        u"\\\\server",
        u"\\\\server\\share",
        u"\\\\server\\share\\",
        u"\\\\\\share\\a.txt",
        u"C:\\a?.txt",
        u"C:\\a*.txt",
        u"C:\\a:b.txt",
        u"C:\\a\tb.txt",
        u"C:\\a|b.txt",
        u"\\\\?\\C:\\a/b.txt",  // no separator in the long form
        u"\\\\?\\UNC\\server",
        u"\\\\.\\C:\\a.txt",
        std::u16string(u"C:\\a") + char16_t(0xD800) + u".txt",
        std::u16string(u"C:\\a") + char16_t(0xDC00) + u".txt",
        std::u16string(u"C:\\a") + char16_t(0) + u".txt",
    };
    for (const std::u16string& path : paths) {
        SCOPED_TRACE(Narrow(path));
        EXPECT_EQ(FileUri::FromPath(path), std::nullopt);
    }
}

TEST(FileUri, ReadsBackOnlyWhatCouldBeALinkToAFile) {
    struct Case {
        std::string uri;
        std::optional<std::u16string> path;
    };
    const Case cases[] = {
        {"FILE:///c:/a%2a.txt", std::nullopt},  // "*" decoded is no file name's
        {"FILE:///c:/a%2b.txt", u"c:\\a+.txt"},
        {"file://localhost/C:/a.txt", u"C:\\a.txt"},
        {"file:///C:/a!b.txt", u"C:\\a!b.txt"},
        {"file:///C:/a%2Fb.txt", std::nullopt},
        {"file:///C:/a%5Cb.txt", std::nullopt},
        {"file:///C:/a%00b.txt", std::nullopt},
        {"file:///C:/a%C3.txt", std::nullopt},       // cut UTF-8
        {"file:///C:/a%C0%AF.txt", std::nullopt},    // overlong "/"
        {"file:///C:/a%ED%A0%80.txt", std::nullopt}, // an encoded surrogate
        {"file:///C:/a%2.txt", std::nullopt},
        {"file:///C:/a%zz.txt", std::nullopt},
        {"file:///C:/a b.txt", std::nullopt},
        {"file:///C:/a\xC3\xA9.txt", std::nullopt},  // raw bytes, not escaped
        {"file:///C:/a.txt?x", std::nullopt},
        {"file:///C:/a.txt#x", std::nullopt},
        {"file:///C:/", std::nullopt},
        {"file:///C:", std::nullopt},
        {"file:///C:/dir/../a.txt", std::nullopt},
        {"file://server/share", std::nullopt},
        {"file://server/share/", std::nullopt},
        {"file:////server/share/a.txt", std::nullopt},
        {"file:/C:/a.txt", std::nullopt},
        {"http://server/share/a.txt", std::nullopt},
        {"", std::nullopt},
        {"file://", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        EXPECT_EQ(FileUri::ToPath(c.uri), c.path);
    }
}

// A path too long for the plain form comes back in the long form, which names the same file.
TEST(FileUri, LongPathsComeBackInTheLongForm) {
    const std::u16string name(200, u'n');
    for (const std::u16string& start : {std::u16string(u"C:"), std::u16string(u"\\\\server\\share")}) {
        const std::u16string path = start + u"\\" + name + u"\\" + name + u".txt";
        const auto uri = FileUri::FromPath(path);
        ASSERT_TRUE(uri);
        const auto back = FileUri::ToPath(*uri);
        ASSERT_TRUE(back);
        EXPECT_GT(path.size(), PathNames::MaxPathLength);
        EXPECT_EQ(*back, (start == u"C:" ? u"\\\\?\\" + path : u"\\\\?\\UNC\\" + path.substr(2)));
        EXPECT_EQ(FileUri::FromPath(*back), uri);
    }
}

// Every character a file name may hold survives the way there and back, and the URI stays ASCII
// without a byte a body's markup or a reader would take for something else.
TEST(FileUri, EveryNameCharacterRoundTrips) {
    for (char32_t c = 0x20; c < 0x110000; c += (c < 0x800 ? 1 : 97)) {
        if (c >= 0xD800 && c < 0xE000) continue;
        std::u16string name = u"x";
        if (c < 0x10000) {
            name += static_cast<char16_t>(c);
        } else {
            name += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            name += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        if (c < 0x80 && PathNames::IsForbiddenInFileName(static_cast<char16_t>(c))) continue;
        if (c == u'.') continue;
        const std::u16string path = u"C:\\d\\" + name;
        const auto uri = FileUri::FromPath(path);
        ASSERT_TRUE(uri) << static_cast<unsigned>(c);
        for (char b : *uri) {
            ASSERT_TRUE(b > 0x20 && b < 0x7F) << *uri;
            ASSERT_EQ(std::string_view("\"<>\\{}|^`! #?[]@").find(b), std::string_view::npos) << *uri;
        }
        EXPECT_EQ(FileUri::ToPath(*uri), path) << *uri;
    }
}
