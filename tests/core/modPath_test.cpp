#include "core/modPath.h"

#include <gtest/gtest.h>

using modPath::GetPathFolder;

namespace {

struct Split {
    std::u16string base;
    std::u16string ext;
};

Split SplitOf(const std::u16string& name) {
    Split s{u"unchanged", {}};
    s.ext = modPath::SplitFileName(name, s.base);
    return s;
}

void ExpectSplit(const std::u16string& name, const std::u16string& base, const std::u16string& ext) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    const Split s = SplitOf(name);
    EXPECT_EQ(s.base, base);
    EXPECT_EQ(s.ext, ext);
}

}  // namespace

TEST(GetPathFolder, KeepsTheTrailingBackslash) {
    EXPECT_EQ(GetPathFolder(u"C:\\Temp\\report.doc"), u"C:\\Temp\\");
    EXPECT_EQ(GetPathFolder(u"C:\\"), u"C:\\");
    EXPECT_EQ(GetPathFolder(u"\\\\server\\share\\a\\b.txt"), u"\\\\server\\share\\a\\");
}

TEST(GetPathFolder, NoBackslashGivesEmpty) {
    EXPECT_EQ(GetPathFolder(u"report.doc"), u"");
    EXPECT_EQ(GetPathFolder(u""), u"");
    EXPECT_EQ(GetPathFolder(u"C:/Temp/report.doc"), u"");  // only the backslash separates
}

TEST(GetPathFolder, TrimsOnlyU0020) {
    EXPECT_EQ(GetPathFolder(u"  C:\\Temp\\report.doc  "), u"C:\\Temp\\");
    EXPECT_EQ(GetPathFolder(u"\tC:\\Temp\\x"), u"\tC:\\Temp\\");
    EXPECT_EQ(GetPathFolder(u"   "), u"");
}

TEST(SplitFileName, LastDotSplits) {
    ExpectSplit(u"archive.tar.gz", u"archive.tar", u"gz");
    ExpectSplit(u"report.doc", u"report", u"doc");
    ExpectSplit(u"a+b.c+", u"a+b", u"c+");
}

TEST(SplitFileName, DotlessNameIsReturnedUnchanged) {
    ExpectSplit(u"README", u"README", u"");
    ExpectSplit(u"  README  ", u"  README  ", u"");
    ExpectSplit(u"", u"", u"");
}

TEST(SplitFileName, SurroundingSpacesDropInnerSpacesStay) {
    ExpectSplit(u"  notes.txt  ", u"notes", u"txt");
    ExpectSplit(u"my file .txt", u"my file ", u"txt");
}

TEST(SplitFileName, NothingBeforeOrAfterTheDotFails) {
    ExpectSplit(u".profile", u"", u"");
    ExpectSplit(u"file.", u"", u"");
    ExpectSplit(u".", u"", u"");
    ExpectSplit(u"  .profile", u"", u"");
}

TEST(SplitFileName, ExtensionLengthLimit) {
    ExpectSplit(u"a." + std::u16string(97, u'x'), u"a", std::u16string(97, u'x'));
    ExpectSplit(u"a." + std::u16string(98, u'x'), u"", u"");
    ExpectSplit(u"a.b." + std::u16string(200, u'x'), u"", u"");
}

TEST(SplitFileName, CountsUtf16CodeUnits) {
    // U+1F4CE is two code units: 48 of them make 96 units (accepted), 49 make 98 (rejected).
    std::u16string clip = u"\U0001F4CE";
    std::u16string ext96, ext98;
    for (int i = 0; i < 48; ++i) ext96 += clip;
    ext98 = ext96 + clip;
    ExpectSplit(u"\u0412\u043b\u043e\u0436." + ext96, u"\u0412\u043b\u043e\u0436", ext96);
    ExpectSplit(u"x." + ext98, u"", u"");
}
