// The parts of the Save As dialog that need no open dialog: template 105 byte for byte, loading it,
// the title rule and the Windows version.
#include "addin/win/FileDialogManager.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/HostError.h"

using namespace addin;
using namespace addin::win;

namespace {

// Writes a classic (not extended) dialog template the way the system reads one, independently of
// the resource compiler.
class TemplateWriter {
public:
    void Word(uint16_t w) {
        bytes.push_back(static_cast<std::byte>(w & 0xFF));
        bytes.push_back(static_cast<std::byte>(w >> 8));
    }
    void Dword(uint32_t d) {
        Word(static_cast<uint16_t>(d & 0xFFFF));
        Word(static_cast<uint16_t>(d >> 16));
    }
    void Text(const std::u16string& s) {
        for (char16_t c : s) Word(c);
        Word(0);
    }
    void AlignDword() {
        while (bytes.size() % 4) bytes.push_back(std::byte{0});
    }
    void Item(uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy, uint16_t id, const std::u16string& text) {
        AlignDword();
        Dword(style);
        Dword(0);  // extended style
        for (int16_t v : {x, y, cx, cy}) Word(static_cast<uint16_t>(v));
        Word(id);
        Word(0xFFFF);
        Word(0x0080);  // the button class by ordinal
        Text(text);
        Word(0);  // no creation data
    }
    std::vector<std::byte> bytes;
};

std::vector<std::byte> ExpectedTemplate() {
    TemplateWriter t;
    t.Dword(0x54000444);  // WS_CHILD WS_VISIBLE WS_CLIPSIBLINGS DS_CONTROL DS_SETFONT DS_3DLOOK
    t.Dword(0);
    t.Word(3);
    for (int16_t v : {0, 0, 373, 46}) t.Word(static_cast<uint16_t>(v));
    t.Word(0);  // no menu
    t.Word(0);  // default class
    t.Word(0);  // empty title
    t.Word(8);
    t.Text(u"Microsoft Sans Serif");
    t.Item(0x50010003, 216, 17, 106, 18, 1000, u"Replace with shortcut");
    t.Item(0x50010003, 93, 17, 84, 18, 1001, u"Open after saving");
    t.Item(0x50000007, 68, 7, 298, 31, 0xFFFF, u"Attachment options");
    return t.bytes;
}

std::vector<std::byte> ResourceBytes(HMODULE module) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(105), RT_DIALOG);
    if (!found) return {};
    const auto* data = static_cast<const std::byte*>(LockResource(LoadResource(module, found)));
    return std::vector<std::byte>(data, data + SizeofResource(module, found));
}

std::string Hex(const std::vector<std::byte>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
        out += (i % 16 == 15) ? '\n' : ' ';
    }
    return out;
}

}  // namespace

// ---- template 105

TEST(DialogTemplate, ResourceIsTheClassicTemplateByteForByte) {
    const std::vector<std::byte> resource = ResourceBytes(GetModuleHandleW(nullptr));
    ASSERT_FALSE(resource.empty()) << "no dialog 105 in the program";
    const std::vector<std::byte> expected = ExpectedTemplate();
    EXPECT_EQ(resource.size(), expected.size());
    EXPECT_TRUE(resource == expected) << "resource:\n" << Hex(resource) << "\nexpected:\n" << Hex(expected);
}

TEST(DialogTemplate, ManagerHoldsAnAlignedCopyOfTheResource) {
    const FileDialogManager manager(GetModuleHandleW(nullptr));
    EXPECT_TRUE(manager.DialogTemplate() == ResourceBytes(GetModuleHandleW(nullptr)));
    // The system reads an in-memory template only from a DWORD boundary.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(manager.DialogTemplate().data()) % 4, 0u);
    EXPECT_EQ(manager.LastFolder(), u"");
}

TEST(DialogTemplate, ModuleWithoutTheTemplateFailsTheCreation) {
    try {
        FileDialogManager manager(GetModuleHandleW(L"kernel32.dll"));
        ADD_FAILURE() << "created without a template";
    } catch (const HostError& e) {
        EXPECT_LT(e.status, 0);
        EXPECT_FALSE(e.text.empty());
    }
}

// ---- the title

TEST(DialogTitle, OneAttachmentHasNoNumbersWhateverItsPosition) {
    EXPECT_EQ(FileDialogManager::Title(1, 1), u"Save attachment");
    EXPECT_EQ(FileDialogManager::Title(3, 1), u"Save attachment");
}

TEST(DialogTitle, OtherCountsShowPositionAndCount) {
    EXPECT_EQ(FileDialogManager::Title(2, 3), u"Save attachment (2/3)");
    EXPECT_EQ(FileDialogManager::Title(12, 100), u"Save attachment (12/100)");
    EXPECT_EQ(FileDialogManager::Title(1, 2), u"Save attachment (1/2)");
    EXPECT_EQ(FileDialogManager::Title(0, 0), u"Save attachment (0/0)");
    EXPECT_EQ(FileDialogManager::Title(-1, 32767), u"Save attachment (-1/32767)");
}

// ---- the Windows version

// Every system gets the full structure, so no version decides anything in the dialog. The Windows
// version matrix runs this under each version Wine can report and names the one it set in
// TALLOWBY_EXPECT_WINDOWS ("<major>.<minor>"): the proof that the setting took effect.
TEST(WindowsVersion, IsTheOneTheMatrixSet) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
    ASSERT_EQ(GetVersionExA(&info), 1);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    if (const char* expected = std::getenv("TALLOWBY_EXPECT_WINDOWS")) {
        EXPECT_EQ(std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion), expected);
    }
}
