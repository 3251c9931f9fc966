#include "addin/win/FileDialogManager.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "addin/core/FileNameMangler.h"
#include "addin/core/PathNames.h"
#include "addin/win/FileDialogHook.h"
#include "base/HostError.h"
#include "com/Strings.h"
#include "com/Win32Error.h"

namespace addin::win {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");
#ifndef _WIN64
static_assert(sizeof(OPENFILENAMEW) == 88, "the structure with pvReserved, dwReserved and FlagsEx");
#endif

constexpr DWORD SaveDialogFlags =
    OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_ENABLETEMPLATEHANDLE | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
static_assert(SaveDialogFlags == 0x000808A6);

std::u16string Hex(DWORD value) {
    std::u16string text = u"0x";
    for (int shift = 12; shift >= 0; shift -= 4) text += u"0123456789ABCDEF"[(value >> shift) & 0xF];
    return text;
}

// One entry whose pattern is empty, then the list's terminating empty entry.
constexpr wchar_t Filter[] = L"All files (*.*)\0\0";

// Holds the one-dialog-at-a-time flag for one dialog; gives it back on every exit.
class OneDialogAtATime {
public:
    OneDialogAtATime() {
        if (FileDialogHook::dialogOpen.exchange(true))
            throw HostError(FileDialogBusyStatus, u"Another Save As dialog is already open");
    }
    OneDialogAtATime(const OneDialogAtATime&) = delete;
    OneDialogAtATime& operator=(const OneDialogAtATime&) = delete;
    ~OneDialogAtATime() { FileDialogHook::dialogOpen = false; }
};

}  // namespace

FileDialogManager::FileDialogManager(HMODULE resources) {
    const HRSRC found = FindResourceW(resources, MAKEINTRESOURCEW(FileDialogTemplateId), RT_DIALOG);
    if (!found) com::throwLastError(u"The Save As dialog's template (dialog 105) is missing");
    const DWORD size = SizeofResource(resources, found);
    const HGLOBAL loaded = LoadResource(resources, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) com::throwLastError(u"The Save As dialog's template (dialog 105) cannot be loaded");
    // A copy the object owns; vector storage comes from operator new, so it has the DWORD alignment
    // an in-memory template needs.
    dialogTemplate_.resize(size);
    std::memcpy(dialogTemplate_.data(), bytes, size);
}

std::u16string FileDialogManager::Title(int16_t ordinal, int16_t saveableCount) {
    std::u16string title = u"Save attachment";
    if (saveableCount == 1) return title;
    const std::string numbers = " (" + std::to_string(ordinal) + "/" + std::to_string(saveableCount) + ")";
    title.append(numbers.begin(), numbers.end());
    return title;
}

std::u16string FileDialogManager::GetSaveAsPath(const std::u16string& fileName, FileNameMangler& mangler,
                                                int16_t ordinal, int16_t saveableCount, bool& replaceWithLink,
                                                bool& openAfterSaving) {
    const OneDialogAtATime only;
    FileDialogHook::DialogState state{&mangler, replaceWithLink && replaceOffered_, openAfterSaving, replaceOffered_};

    const std::u16string title = Title(ordinal, saveableCount);
    // Fitted to the folder once the dialog shows one (the hook, at CDN_INITDONE).
    const std::u16string startName = PathNames::SafeFileName(fileName);
    if (startName.size() >= FileBufferLength)
        throw HostError(HostStatus::InvalidArg, u"The attachment's file name is too long");
    std::vector<wchar_t> file(FileBufferLength, L'\0');
    std::copy(startName.begin(), startName.end(), file.begin());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetForegroundWindow();
    dialog.hInstance = reinterpret_cast<HINSTANCE>(dialogTemplate_.data());
    dialog.lpstrFilter = Filter;
    dialog.nFilterIndex = 0;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = com::wide(lastFolder_);
    dialog.lpstrTitle = com::wide(title);
    dialog.Flags = SaveDialogFlags;
    dialog.lpstrDefExt = nullptr;  // a name typed without an extension stays without one
    dialog.lCustData = reinterpret_cast<LPARAM>(&state);  // the hook keeps it on its window
    dialog.lpfnHook = FileDialogHook::SaveDialogHookProc;
    dialog.lpTemplateName = nullptr;

    std::u16string path;
    const BOOL chosen = GetSaveFileNameW(&dialog);
    replaceWithLink = state.replaceWithLinkChecked;
    openAfterSaving = state.openAfterSavingChecked;
    if (chosen) {
        const auto end = std::find(file.begin(), file.end(), L'\0');
        path.assign(file.begin(), end);
        lastFolder_ = PathNames::GetPathFolder(path);
    } else if (const DWORD error = CommDlgExtendedError()) {
        // Not the user's Cancel: the dialog could not be shown, or could not give the name chosen.
        throw HostError(HostStatus::Fail, u"The Save As dialog failed (common dialog error " + Hex(error) + u")");
    }
    return path;
}

}  // namespace addin::win
