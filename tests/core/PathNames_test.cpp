#include "addin/core/PathNames.h"

#include <gtest/gtest.h>

using namespace addin;

using PathNames::GetPathFolder;

namespace {

struct Split {
    std::u16string base;
    std::u16string ext;
};

Split SplitOf(const std::u16string& name) {
    Split s{u"unchanged", {}};
    s.ext = PathNames::SplitFileName(name, s.base);
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

// ---- safe names

using PathNames::FitFileName;
using PathNames::SafeFileName;

TEST(SafeFileName, OrdinaryNamesAreUnchanged) {
    for (const std::u16string name :
         {u"report.doc", u"my file .txt", u"archive.tar.gz", u"README", u"a+b.c+", u"Вложение № 5.txt",
          u"添付ファイル.txt", u"\U0001F4CE clip \U0001F468\u200D\U0001F469\u200D\U0001F467.png", u"تقرير.pdf",
          u" leading space.txt", u".profile", u"CONSOLE.txt", u"COM10.txt", u"COM0", u"LPT", u"NULL.doc", u"xCON",
          u"con-tract.doc", u"\u200B\u00AD.txt", u""}) {
        EXPECT_EQ(SafeFileName(name), name);
    }
}

TEST(SafeFileName, FolderPartsAreDropped) {
    EXPECT_EQ(SafeFileName(u"..\\..\\evil.exe"), u"evil.exe");
    EXPECT_EQ(SafeFileName(u"../../evil.exe"), u"evil.exe");
    EXPECT_EQ(SafeFileName(u"C:\\Windows/System32\\evil.dll"), u"evil.dll");
    EXPECT_EQ(SafeFileName(u"\\\\?\\C:\\x\\a/b\\c/d.txt"), u"d.txt");
    for (const std::u16string nothing : {u"folder\\", u"..", u".", u"a\\..", u"...", u"   ", u" . . "})
        EXPECT_EQ(SafeFileName(nothing), u"");
}

TEST(SafeFileName, CharactersNotAllowedBecomeUnderscores) {
    EXPECT_EQ(SafeFileName(u"a:b*c?d\"e<f>g|h.txt"), u"a_b_c_d_e_f_g_h.txt");
    std::u16string controls = u"x";
    for (char16_t c = 1; c < 0x20; ++c) controls += c;
    EXPECT_EQ(SafeFileName(controls + u".txt"), u"x" + std::u16string(31, u'_') + u".txt");
    EXPECT_EQ(SafeFileName(std::u16string(u"a\0b.txt", 7)), u"a_b.txt");
    EXPECT_EQ(SafeFileName(u"file.txt:Zone.Identifier"), u"file.txt_Zone.Identifier");
    // Just outside the forbidden ranges.
    EXPECT_EQ(SafeFileName(u" !#\x7F~.txt"), u" !#\x7F~.txt");
}

TEST(SafeFileName, FormattingControlsThatDisguiseANameBecomeUnderscores) {
    // Shown as "photoexe.jpg" by a right-to-left override, and every other such control.
    EXPECT_EQ(SafeFileName(u"photo\u202Egpj.exe"), u"photo_gpj.exe");
    for (char16_t c : {u'\u061C', u'\u200E', u'\u200F', u'\u202A', u'\u202B', u'\u202C', u'\u202D', u'\u202E',
                       u'\u2066', u'\u2067', u'\u2068', u'\u2069'}) {
        SCOPED_TRACE(static_cast<int>(c));
        EXPECT_EQ(SafeFileName(std::u16string(u"a") + c + u"b.txt"), u"a_b.txt");
        EXPECT_TRUE(PathNames::IsFormattingControl(c));
    }
    // Their neighbours are ordinary characters (joiners build emoji, U+202F is a space).
    for (char16_t c : {u'\u061B', u'\u200D', u'\u2010', u'\u2029', u'\u202F', u'\u2065', u'\u206A'})
        EXPECT_FALSE(PathNames::IsFormattingControl(c)) << static_cast<int>(c);
}

TEST(SafeFileName, TrailingDotsAndSpacesThatTheSystemDropsAreRemoved) {
    EXPECT_EQ(SafeFileName(u"report.txt."), u"report.txt");
    EXPECT_EQ(SafeFileName(u"report.txt . . "), u"report.txt");
    EXPECT_EQ(SafeFileName(u"invoice.pdf      .exe"), u"invoice.pdf      .exe");
    EXPECT_EQ(SafeFileName(u"dir\\name.  "), u"name");
    EXPECT_EQ(SafeFileName(u"a\u202E."), u"a_");
}

TEST(SafeFileName, ReservedDeviceNamesArePrefixed) {
    for (const std::u16string name : {u"CON", u"PRN", u"AUX", u"NUL", u"COM1", u"COM9", u"LPT1", u"LPT9", u"CONIN$",
                                      u"conout$", u"COM\u00B9", u"LPT\u00B3"}) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        EXPECT_EQ(SafeFileName(name), u"_" + name);
        EXPECT_EQ(SafeFileName(name + u".txt"), u"_" + name + u".txt");
        EXPECT_EQ(SafeFileName(name + u"."), u"_" + name);
    }
    EXPECT_EQ(SafeFileName(u"con.txt"), u"_con.txt");
    EXPECT_EQ(SafeFileName(u"Lpt3.tar.gz"), u"_Lpt3.tar.gz");
    EXPECT_EQ(SafeFileName(u"NUL .txt"), u"_NUL .txt");
    EXPECT_EQ(SafeFileName(u"dir\\aux.doc"), u"_aux.doc");
    EXPECT_EQ(SafeFileName(u"CON:"), u"CON_");
}

// ---- names that fit their folder

namespace {

std::u16string Repeat(const std::u16string& piece, std::size_t times) {
    std::u16string s;
    for (std::size_t i = 0; i < times; ++i) s += piece;
    return s;
}

// A folder whose full form (with the backslash that joins it to a name) takes `used` code units.
std::u16string FolderOf(std::size_t used) { return u"C:\\" + std::u16string(used - 4, u'f'); }

}  // namespace

TEST(FitFileName, RoomIsWhatThePathLimitLeaves) {
    EXPECT_EQ(PathNames::RoomInFolder(u"C:\\Docs"), 259u - 8u);
    EXPECT_EQ(PathNames::RoomInFolder(u"C:\\"), 255u) << "no name is longer than 255";
    EXPECT_EQ(PathNames::RoomInFolder(u""), 255u) << "an unknown folder limits nothing but the name";
    EXPECT_EQ(PathNames::RoomInFolder(FolderOf(258)), 1u);
    EXPECT_EQ(PathNames::RoomInFolder(FolderOf(259)), 0u);
    EXPECT_EQ(PathNames::RoomInFolder(FolderOf(400)), 0u);
}

TEST(FitFileName, LongBaseGivesWayAndTheExtensionStays) {
    const std::u16string name = std::u16string(240, u'r') + u".docx";
    for (std::size_t used : {20u, 40u, 100u, 200u, 253u}) {
        SCOPED_TRACE(used);
        const std::u16string folder = FolderOf(used);
        const std::u16string fitted = FitFileName(name, folder);
        if (used + name.size() <= 259) {
            EXPECT_EQ(fitted, name);
            continue;
        }
        EXPECT_EQ(used + fitted.size(), 259u);
        EXPECT_EQ(fitted, std::u16string(259 - used - 5, u'r') + u".docx");
    }
    // Without an extension the whole name is the base; a dot with more than 97 after it is no extension.
    EXPECT_EQ(FitFileName(std::u16string(300, u'x'), FolderOf(200)), std::u16string(59, u'x'));
    EXPECT_EQ(FitFileName(u"a." + std::u16string(300, u'x'), FolderOf(200)), u"a." + std::u16string(57, u'x'));
}

TEST(FitFileName, WhatCannotFitStaysAsItIs) {
    const std::u16string name = std::u16string(240, u'r') + u".docx";
    EXPECT_EQ(FitFileName(name, FolderOf(253)), u"r.docx") << "one character of base fits exactly";
    EXPECT_EQ(FitFileName(name, FolderOf(254)), name) << "not even one: the dialog's own error stands";
    EXPECT_EQ(FitFileName(name, FolderOf(400)), name);
    EXPECT_EQ(FitFileName(u"short.txt", FolderOf(400)), u"short.txt");
}

TEST(FitFileName, NeverSplitsASurrogatePairOrEndsTheNameUnsoundly) {
    const std::u16string clip = u"\U0001F4CE";
    // 200 clips are 400 code units; the room for the base is odd, so one unit goes unused.
    const std::u16string fitted = FitFileName(Repeat(clip, 200) + u".png", FolderOf(100));
    EXPECT_EQ(fitted, Repeat(clip, (159 - 4) / 2) + u".png");
    // A cut that would end in a dot or a space, or make a device name, goes one further.
    EXPECT_EQ(FitFileName(u"ab. " + std::u16string(300, u'x'), FolderOf(255)), u"ab");
    EXPECT_EQ(FitFileName(u"CON" + std::u16string(300, u'x') + u".txt", FolderOf(252)), u"CO.txt");
    // The pair as the one character of the base: it fits whole or not at all.
    EXPECT_EQ(FitFileName(Repeat(clip, 100) + u".png", FolderOf(253)), clip + u".png");
    EXPECT_EQ(FitFileName(Repeat(clip, 100) + u".png", FolderOf(254)), Repeat(clip, 100) + u".png");
}

TEST(TryFitName, KeepsTheTailWholeAndShortensOnlyTheHead) {
    EXPECT_EQ(PathNames::TryFitName(u"report", u" -- 12.doc", 12), u"re -- 12.doc");
    EXPECT_EQ(PathNames::TryFitName(u"report", u" -- 12.doc", 10), std::nullopt);
    EXPECT_EQ(PathNames::TryFitName(u"", u" -- 1", 5), u" -- 1");
    EXPECT_EQ(PathNames::TryFitName(u"a", u"b.", 100), std::nullopt) << "a tail that ends unsoundly never fits";
    EXPECT_EQ(PathNames::TryFitName(u"nul", u".txt", 100), u"_nul.txt");
}
