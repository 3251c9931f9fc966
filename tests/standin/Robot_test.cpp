// The message-box robot: it reads what a message box shows, answers it as scripted, and fails the
// run (without hanging) when a box comes up that nobody scripted.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "standin/win/MessageBoxRobot.h"
#include "standin/win/Transcript.h"

using standin::win::FromUtf8;
using standin::win::ToUtf8;
using standin::win::MessageBoxRobot;
using standin::win::Transcript;

namespace {

class RobotTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        path = std::wstring(dir) + L"standin_robot_test.txt";
        file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        DeleteFileW(path.c_str());
    }
    std::u16string written() {
        HANDLE in = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        std::string bytes(65536, '\0');
        DWORD n = 0;
        ReadFile(in, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(in);
        bytes.resize(n);
        return FromUtf8(bytes);
    }

    std::wstring path;
    HANDLE file = INVALID_HANDLE_VALUE;
};

TEST_F(RobotTest, AnswersAMessageBoxAsScriptedAndRecordsIt) {
    Transcript transcript(file);
    MessageBoxRobot robot(transcript, 20000);
    robot.Queue(u"No");
    robot.BeginAction(u"send");
    const int answer = MessageBoxW(nullptr, L"Send \u201cReport\u201d?", L"Warnung \u00e4", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    EXPECT_TRUE(robot.EndAction().empty());
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(robot.Answered(), 1);
    EXPECT_FALSE(transcript.Failed());
    EXPECT_NE(written().find(u"msgbox title=\"Warnung \u00e4\" text=\"Send \u201cReport\u201d?\" buttons=YesNo icon=question "
                             u"default=2 answer=No"),
              std::u16string::npos)
        << standin::win::ToUtf8(written());
}

TEST_F(RobotTest, ReadsButtonsAndIconsOfOtherBoxes) {
    Transcript transcript(file);
    MessageBoxRobot robot(transcript, 20000);
    robot.Queue(u"ok");
    robot.Queue(u"Retry");
    robot.BeginAction(u"two boxes");
    EXPECT_EQ(MessageBoxW(nullptr, L"one", L"A", MB_OKCANCEL | MB_ICONEXCLAMATION), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"two", L"B", MB_ABORTRETRYIGNORE | MB_ICONHAND), IDRETRY);
    EXPECT_TRUE(robot.EndAction().empty());
    const auto text = written();
    EXPECT_NE(text.find(u"buttons=OKCancel icon=warning default=1 answer=ok"), std::u16string::npos);
    EXPECT_NE(text.find(u"buttons=AbortRetryIgnore icon=error default=1 answer=Retry"), std::u16string::npos);
}

TEST_F(RobotTest, AnUnscriptedBoxFailsTheRunButDoesNotHang) {
    Transcript transcript(file);
    MessageBoxRobot robot(transcript, 20000);
    robot.BeginAction(u"surprise");
    EXPECT_EQ(MessageBoxW(nullptr, L"surprise", L"S", MB_YESNO | MB_DEFBUTTON2), IDNO) << "dismissed by its default";
    (void)robot.EndAction();
    EXPECT_TRUE(transcript.Failed());
    EXPECT_NE(written().find(u"answer=none"), std::u16string::npos);
    EXPECT_NE(written().find(u"FAILED robot: no answer was scripted for this dialog"), std::u16string::npos);
}

TEST_F(RobotTest, AnAnswerNoBoxUsedIsReturned) {
    Transcript transcript(file);
    MessageBoxRobot robot(transcript, 20000);
    robot.Queue(u"Yes");
    robot.BeginAction(u"nothing");
    EXPECT_EQ(robot.EndAction(), std::vector<std::u16string>{u"Yes"});
}

TEST(ButtonIdTest, NamesInAnyCase) {
    EXPECT_EQ(standin::win::ButtonId(u"yes"), IDYES);
    EXPECT_EQ(standin::win::ButtonId(u"CANCEL"), IDCANCEL);
    EXPECT_EQ(standin::win::ButtonId(u"Maybe"), 0);
}

}  // namespace
