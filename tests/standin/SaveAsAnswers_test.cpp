// The `saveas` steps as the script gives them, and the `file` report of what was written.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "standin/win/SaveAsAnswers.h"
#include "standin/win/Script.h"

using standin::win::FileReport;
using standin::win::FolderReport;
using standin::win::ParseSaveAsStep;
using standin::win::SaveAsStep;
using standin::win::ScriptError;
using standin::win::StartFolder;

namespace {

SaveAsStep Step(std::u16string_view text) {
    const auto lines = standin::win::ParseScript(text);
    EXPECT_EQ(lines.size(), 1u);
    return ParseSaveAsStep(lines.at(0));
}

TEST(SaveAsStepTest, SaveTakesAnOptionalNameAndBothOptions) {
    const SaveAsStep plain = Step(u"saveas save");
    EXPECT_EQ(plain.kind, SaveAsStep::Save);
    EXPECT_EQ(plain.text, u"");
    EXPECT_FALSE(plain.replace.has_value());
    EXPECT_FALSE(plain.open.has_value());

    const SaveAsStep named = Step(u"saveas save \"new name.txt\" open on replace off");
    EXPECT_EQ(named.text, u"new name.txt");  // a bare name stays relative to the dialog's folder
    EXPECT_EQ(named.open, true);
    EXPECT_EQ(named.replace, false);
}

TEST(SaveAsStepTest, PathsWithAFolderAreTakenFromTheProgramsStartFolder) {
    EXPECT_EQ(Step(u"saveas save \"C:\\out\\a.txt\"").text, u"C:\\out\\a.txt");
    EXPECT_EQ(Step(u"saveas save \"out\\a.txt\"").text, StartFolder() + u"\\out\\a.txt");
    EXPECT_EQ(Step(u"saveas folder out").text, StartFolder() + u"\\out");
    // A dialog changes the current folder; the start folder stays.
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(L"C:\\");
    EXPECT_EQ(Step(u"saveas save \"out\\a.txt\"").text, StartFolder() + u"\\out\\a.txt");
    SetCurrentDirectoryW(before);
}

TEST(SaveAsStepTest, PickOverwriteAndTheOtherSteps) {
    EXPECT_EQ(Step(u"saveas pick 2 replace on").index, 2);
    EXPECT_EQ(Step(u"saveas pick 2 replace on").replace, true);
    EXPECT_TRUE(Step(u"saveas overwrite yes").yes);
    EXPECT_FALSE(Step(u"saveas overwrite no").yes);
    EXPECT_EQ(Step(u"saveas cancel").kind, SaveAsStep::Cancel);
    EXPECT_EQ(Step(u"saveas select \"Отчёт.txt\"").text, u"Отчёт.txt");
    EXPECT_EQ(Step(u"saveas type b.txt").kind, SaveAsStep::Type);
    EXPECT_EQ(Step(u"saveas cancel").command, u"saveas cancel");
}

TEST(SaveAsStepTest, MistakesAreScriptErrors) {
    for (const char16_t* wrong :
         {u"saveas", u"saveas close", u"saveas pick", u"saveas pick 0", u"saveas overwrite", u"saveas overwrite maybe",
          u"saveas save a.txt replace", u"saveas save a.txt replace yes", u"saveas save a.txt delete on",
          u"saveas cancel now", u"saveas select", u"saveas folder a b"}) {
        SCOPED_TRACE(standin::win::ToUtf8(wrong));
        EXPECT_THROW(Step(wrong), ScriptError);
    }
}

TEST(FileReportTest, BytesAsTextAndMissingFiles) {
    const std::wstring path = L"saveas-file-report.txt";
    {
        std::ofstream out(path.c_str(), std::ios::binary);
        out << "line \xD0\x96\r\n\"quoted\"";
    }
    EXPECT_EQ(FileReport(u"saveas-file-report.txt"),
              u"file bytes=17 content=\"line Ж\\r\\n\\\"quoted\\\"\" path=\"" + StartFolder() +
                  u"\\saveas-file-report.txt\"");
    DeleteFileW(path.c_str());
    EXPECT_EQ(FileReport(u"saveas-file-report.txt"),
              u"file missing path=\"" + StartFolder() + u"\\saveas-file-report.txt\"");
}

TEST(FolderReportTest, FilesSortedByNameWithTheirSizes) {
    const std::wstring folder = L"saveas-folder-report";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    for (const auto& [name, bytes] : {std::pair{L"b.txt", "12"}, std::pair{L"a b.txt", ""}, std::pair{L"Ж.txt", "x"}}) {
        std::ofstream out((folder + L"\\" + name).c_str(), std::ios::binary);
        out << bytes;
    }
    const std::u16string full = StartFolder() + u"\\saveas-folder-report";
    EXPECT_EQ(FolderReport(u"saveas-folder-report"),
              (std::vector<std::u16string>{u"files folder=\"" + full + u"\" count=3", u"files name=\"a b.txt\" bytes=0",
                                           u"files name=\"b.txt\" bytes=2", u"files name=\"Ж.txt\" bytes=1"}));
    for (const wchar_t* name : {L"b.txt", L"a b.txt", L"Ж.txt"}) DeleteFileW((folder + L"\\" + name).c_str());
    RemoveDirectoryW((folder + L"\\sub").c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(FolderReport(u"saveas-folder-report"),
              std::vector<std::u16string>{u"files missing folder=\"" + full + u"\""});
}

}  // namespace
