#pragma once
// The host's Options dialog as the script drives it: each page an add-in added is created by its
// ProgID and sited in a PageContainer under its title; the user's clicks on the page and on OK,
// Cancel and Apply are script commands, and what the page and the host show goes to the transcript.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "standin/win/PageContainer.h"
#include "standin/win/Transcript.h"

namespace standin::win {

/// One page an add-in added in OptionsPagesAdd.
struct AddedPage {
    std::u16string progId;
    std::optional<std::u16string> title;
};

class OptionsDialog {
public:
    explicit OptionsDialog(Transcript& transcript) : t_(transcript) {}
    ~OptionsDialog() { Close(false); }
    OptionsDialog(const OptionsDialog&) = delete;
    OptionsDialog& operator=(const OptionsDialog&) = delete;

    bool IsOpen() const noexcept { return !pages_.empty(); }
    /// Opens the dialog with `pages` (ScriptError when it is already open).
    void Open(const std::vector<AddedPage>& pages, int line);
    /// `page <action> ...` of the script (README.md); throws ScriptError for a wrong command.
    void Command(const std::vector<std::u16string>& words, int line);
    /// Closes the dialog as OK (applying dirty pages) or Cancel does; nothing when it is closed.
    void Close(bool ok);

private:
    struct Page {
        std::u16string title;
        com::ComPtr<IUnknown> control;
        std::unique_ptr<PageContainer> container;
        std::optional<bool> closeRequest;  // set by the dialog's OK or Cancel, acted on afterwards
    };

    Page& Current(int line);
    void Report(Page& page);
    void PressHostButton(Page& page, int id);
    void PressKey(Page& page, const std::u16string& name, int line);

    Transcript& t_;
    std::vector<std::unique_ptr<Page>> pages_;
};

}  // namespace standin::win
