// The item's record of its saved attachments: written and read back whole, within its limit, and
// read defensively from whatever the property holds.
#include "addin/core/DetachRecord.h"

#include <gtest/gtest.h>

using namespace addin;
using DetachRecord::Decode;
using DetachRecord::Encode;
using DetachRecord::Entry;
using DetachRecord::UtcTime;

namespace {

const std::string kHash = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

Entry Make(std::u16string name, std::u16string path, std::uint64_t size = 1, UtcTime time = {2026, 12, 11, 15, 4, 5}) {
    return Entry{std::move(name), std::move(path), size, kHash, time};
}

}  // namespace

TEST(DetachRecord, WritesTheDocumentedLines) {
    const auto encoded = Encode({Make(u"a.txt", u"C:\\d\\a.txt", 12)},
                                {Make(u"100%\tx\r\ny", u"\\\\s\\share\\%09", 18446744073709551615ull, {1, 2, 3, 4, 5, 6})});
    EXPECT_TRUE(encoded.notWritten.empty());
    EXPECT_EQ(encoded.text,
              u"tallowby-saved-attachments 1\r\n"
              u"a.txt\tC:\\d\\a.txt\t12\t" + std::u16string(kHash.begin(), kHash.end()) + u"\t2026-12-11T15:04:05Z\r\n"
              u"100%25%09x%0D%0Ay\t\\\\s\\share\\%2509\t18446744073709551615\t" + std::u16string(kHash.begin(), kHash.end()) +
              u"\t0001-02-03T04:05:06Z");
}

TEST(DetachRecord, RoundTripsEveryField) {
    const std::vector<Entry> entries = {
        Make(u"", u"C:\\x", 0, {2024, 2, 29, 23, 59, 59}),
        Make(u"%%0A%\t\t\r\r\n\n", u"C:\\%25", 42),
        Make(u"caf\u00E9 \U0001F600 \u202E", u"\\\\?\\UNC\\s\\x\\y", 1ull << 40, {9999, 12, 31, 0, 0, 0}),
    };
    for (std::size_t split = 0; split <= entries.size(); ++split) {
        const std::vector<Entry> kept(entries.begin(), entries.begin() + split);
        const std::vector<Entry> added(entries.begin() + split, entries.end());
        const auto encoded = Encode(kept, added);
        EXPECT_TRUE(encoded.notWritten.empty());
        const auto decoded = Decode(encoded.text);
        EXPECT_TRUE(decoded.known);
        EXPECT_EQ(decoded.malformed, 0u);
        EXPECT_EQ(decoded.entries, entries);
    }
    const auto empty = Decode(Encode({}, {}).text);
    EXPECT_TRUE(empty.known);
    EXPECT_TRUE(empty.entries.empty());
}

// What does not fit is left out and told; later, smaller entries still go in; what is kept is kept.
TEST(DetachRecord, StaysWithinTheLimit) {
    const std::u16string header = u"tallowby-saved-attachments 1";
    const Entry probe = Make(u"n", u"C:\\p");
    const std::size_t probeLine = Encode({}, {probe}).text.size() - header.size();  // CRLF and the line
    // An entry whose line brings the record to exactly the limit, and one a unit longer.
    const std::size_t room = DetachRecord::MaxLength - header.size() - probeLine;
    const Entry exact = Make(u"n", u"C:\\p" + std::u16string(room, u'x'));
    const Entry over = Make(u"n", u"C:\\p" + std::u16string(room + 1, u'x'));
    EXPECT_EQ(Encode({}, {exact}).text.size(), DetachRecord::MaxLength);
    EXPECT_TRUE(Encode({}, {exact}).notWritten.empty());
    EXPECT_EQ(Encode({}, {over}).notWritten, std::vector<std::size_t>{0});
    EXPECT_EQ(Encode({}, {over}).text, header);
    // Escapes count as written: a "%" takes three units.
    const Entry escaped = Make(u"n", u"C:\\p" + std::u16string(room - 2, u'x') + u"%");
    EXPECT_EQ(Encode({}, {escaped}).notWritten, std::vector<std::size_t>{0});

    const auto mixed = Encode({}, {probe, over, probe, Make(u"n", u"C:\\p" + std::u16string(room, u'y'))});
    EXPECT_EQ(mixed.notWritten, (std::vector<std::size_t>{1, 3}));
    EXPECT_LE(mixed.text.size(), DetachRecord::MaxLength);
    EXPECT_EQ(Decode(mixed.text).entries, (std::vector<Entry>{probe, probe}));

    // Kept entries describe files already out of the item: never dropped, even past the limit.
    const auto kept = Encode({over}, {probe});
    EXPECT_EQ(Decode(kept.text).entries, std::vector<Entry>{over});
    EXPECT_EQ(kept.notWritten, std::vector<std::size_t>{0});
}

TEST(DetachRecord, RefusesFieldsOutOfForm) {
    Entry noPath = Make(u"n", u"");
    Entry shortHash = Make(u"n", u"C:\\p");
    shortHash.sha256.pop_back();
    Entry upperHash = Make(u"n", u"C:\\p");
    upperHash.sha256[0] = 'A';
    const std::vector<Entry> bad = {noPath, shortHash, upperHash, Make(u"n", u"C:\\p", 1, {2025, 2, 29, 0, 0, 0}),
                                    Make(u"n", u"C:\\p", 1, {2024, 13, 1, 0, 0, 0}),
                                    Make(u"n", u"C:\\p", 1, {2024, 1, 1, 24, 0, 0}),
                                    Make(u"n", u"C:\\p", 1, {0, 1, 1, 0, 0, 0})};
    const auto encoded = Encode({}, bad);
    EXPECT_EQ(encoded.notWritten.size(), bad.size());
    EXPECT_EQ(encoded.text, u"tallowby-saved-attachments 1");
}

TEST(DetachRecord, ReadsOnlyItsOwnFormatAndSkipsMalformedLines) {
    for (const std::u16string& text : {std::u16string(u""), std::u16string(u"tallowby-saved-attachments 2\r\n"),
                                       std::u16string(u"Tallowby-saved-attachments 1"),
                                       std::u16string(u"tallowby-saved-attachments 1 \r\n"),
                                       std::u16string(u"tallowby-saved-attachments 1\n")}) {
        const auto decoded = Decode(text);
        EXPECT_FALSE(decoded.known);
        EXPECT_TRUE(decoded.entries.empty());
    }
    const std::u16string hash(kHash.begin(), kHash.end());
    const std::u16string good = u"a\tC:\\a\t5\t" + hash + u"\t2026-01-02T03:04:05Z";
    const std::u16string bad[] = {
        u"",
        u"a\tC:\\a\t5\t" + hash,
        good + u"\textra",
        u"a\t\t5\t" + hash + u"\t2026-01-02T03:04:05Z",
        u"a\tC:\\a\t-5\t" + hash + u"\t2026-01-02T03:04:05Z",
        u"a\tC:\\a\t05\t" + hash + u"\t2026-01-02T03:04:05Z",
        u"a\tC:\\a\t18446744073709551616\t" + hash + u"\t2026-01-02T03:04:05Z",
        u"a\tC:\\a\t5\t" + hash.substr(1) + u"\t2026-01-02T03:04:05Z",
        u"a\tC:\\a\t5\t" + hash + u"\t2026-01-02 03:04:05Z",
        u"a\tC:\\a\t5\t" + hash + u"\t2026-02-30T03:04:05Z",
        u"a\tC:\\a\t5\t" + hash + u"\t2026-01-02T03:04:05",
        u"a%\tC:\\a\t5\t" + hash + u"\t2026-01-02T03:04:05Z",
        u"a%41\tC:\\a\t5\t" + hash + u"\t2026-01-02T03:04:05Z",
        u"a\rb\tC:\\a\t5\t" + hash + u"\t2026-01-02T03:04:05Z",
        u"a\tC:\\a\t5\t" + hash + u"\t2026-01-02T03:04:05Z\n",
        u"a\tC:\\a\t\uFF15\t" + hash + u"\t2026-01-02T03:04:05Z",  // a full-width digit
    };
    std::u16string text = u"tallowby-saved-attachments 1";
    for (const std::u16string& line : bad) text += u"\r\n" + good + u"\r\n" + line;
    text += u"\r\n";  // one line break after the last line is no line
    const auto decoded = Decode(text);
    EXPECT_TRUE(decoded.known);
    EXPECT_EQ(decoded.malformed, std::size(bad));
    EXPECT_EQ(decoded.entries.size(), std::size(bad));
    for (const Entry& entry : decoded.entries) EXPECT_EQ(entry, (Entry{u"a", u"C:\\a", 5, kHash, {2026, 1, 2, 3, 4, 5}}));
    // Lower-case escapes are read as well.
    EXPECT_EQ(Decode(u"tallowby-saved-attachments 1\r\na%0d%0a\tC:\\a\t5\t" + hash + u"\t2026-01-02T03:04:05Z")
                  .entries.at(0)
                  .displayName,
              u"a\r\n");
}
