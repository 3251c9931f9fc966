#include "standin/win/OptionsDialog.h"

#include <objbase.h>
#include <oleauto.h>

#include "com/Handles.h"
#include "com/Strings.h"
#include "standin/win/AddIns.h"
#include "standin/win/Script.h"

namespace standin::win {

namespace {

std::u16string Text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return com::fromWide(text);
}

std::u16string WithoutAmpersands(std::u16string text) {
    std::erase(text, u'&');
    return text;
}

bool IsCheckBox(HWND window) {
    wchar_t name[16] = {};
    if (!GetClassNameW(window, name, 16) || lstrcmpiW(name, L"Button") != 0) return false;
    const LONG type = GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

// A line of text the page shows the user (a label).
bool IsStaticText(HWND window) {
    wchar_t name[16] = {};
    return GetClassNameW(window, name, 16) && lstrcmpiW(name, L"Static") == 0;
}

BOOL CALLBACK AddChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> found;
    if (parent) EnumChildWindows(parent, &AddChild, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The add-in's in-memory preference as its bridge reports it: the host's view of the value the
// page writes, read through IDispatch by name as any automation client would.
std::u16string BridgeValue() {
    const ClassLookup found = CreateClass(u"Tallowby.PropPageBridge");
    auto bridge = found.object.tryQuery<IDispatch>();
    if (!bridge) return u"none";
    wchar_t name[] = L"PrefReplaceWithLinks";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    if (FAILED(bridge->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return u"none";
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = bridge->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                      nullptr);
    const bool ok = SUCCEEDED(hr) && V_VT(&result) == VT_BOOL;
    const bool value = ok && V_BOOL(&result) != VARIANT_FALSE;
    VariantClear(&result);
    return ok ? (value ? u"true" : u"false") : u"failed " + Hex(hr);
}

std::u16string Status(HRESULT hr) { return hr == S_OK ? u"ok" : Hex(hr); }

}  // namespace

void OptionsDialog::Open(const std::vector<AddedPage>& pages, int line) {
    if (IsOpen()) throw ScriptError(line, u"options: the Options dialog is already open");
    for (const AddedPage& added : pages) {
        auto page = std::make_unique<Page>();
        page->title = added.title.value_or(added.progId);
        ClassLookup found = CreateClass(added.progId);
        if (found.perUser) t_.Line(PerUserNote(added.progId, found));
        page->control = std::move(found.object);
        HRESULT hr = found.status;
        if (FAILED(hr)) {
            t_.Line(u"page " + Transcript::Quote(page->title) + u" not-created " + Hex(hr));
            continue;
        }
        page->container = std::make_unique<PageContainer>(SiteRoute::Both, page->title);
        Page* raw = page.get();
        page->container->onStatusChange = [this, raw] {
            t_.Line(u"page-site OnStatusChange dirty=" +
                    std::u16string(raw->container->Dirty().value_or(false) ? u"true" : u"false") + u" apply=" +
                    (raw->container->ApplyEnabled() ? u"enabled" : u"disabled"));
        };
        page->container->onApply = [this](HRESULT applied) { t_.Line(u"page Apply " + Status(applied)); };
        page->container->onClose = [raw](bool ok) { raw->closeRequest = ok; };
        hr = page->container->Site(page->control.get());
        t_.Line(u"page " + Transcript::Quote(page->title) + u" sited " + Status(hr));
        pages_.push_back(std::move(page));
        Report(*pages_.back());
    }
    if (pages_.empty()) t_.Line(u"options dialog closed (no page could be shown)");
}

OptionsDialog::Page& OptionsDialog::Current(int line) {
    if (!IsOpen()) throw ScriptError(line, u"page: the Options dialog is not open");
    return *pages_.front();
}

void OptionsDialog::Report(Page& page) {
    PageContainer& c = *page.container;
    const auto dirty = c.Dirty();
    t_.Line(u"page " + Transcript::Quote(page.title) + u" dirty=" + (dirty ? (*dirty ? u"true" : u"false") : u"unknown") +
            u" apply=" + (IsWindowEnabled(c.ApplyButton()) ? u"enabled" : u"disabled") + u" bridge=" + BridgeValue());
    for (HWND child : Descendants(c.PageWindow())) {
        if (IsStaticText(child) && IsWindowVisible(child)) {
            t_.Line(u"text " + Transcript::Quote(WithoutAmpersands(Text(child))));
            continue;
        }
        if (!IsCheckBox(child)) continue;
        const LRESULT state = SendMessageW(child, BM_GETCHECK, 0, 0);
        t_.Line(u"check " + Transcript::Quote(WithoutAmpersands(Text(child))) + u" checked=" +
                (state == BST_CHECKED ? u"true" : state == BST_INDETERMINATE ? u"grey" : u"false") + u" enabled=" +
                (IsWindowEnabled(child) ? u"true" : u"false"));
    }
}

void OptionsDialog::PressHostButton(Page& page, int id) {
    HWND button = GetDlgItem(page.container->window(), id);
    if (!IsWindowEnabled(button)) {
        t_.Line(u"page button " + Transcript::Quote(WithoutAmpersands(Text(button))) + u" disabled");
        return;
    }
    SendMessageW(page.container->window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    if (page.closeRequest) Close(*page.closeRequest);
}

void OptionsDialog::Command(const std::vector<std::u16string>& w, int line) {
    if (w.size() < 2) throw ScriptError(line, u"page: an action expected");
    Page& page = Current(line);
    const std::u16string& action = w[1];
    if (action == u"click" || action == u"about") {
        if (action == u"click" && w.size() != 3) throw ScriptError(line, u"page click: a control's caption expected");
        if (action == u"about" && w.size() != 2) throw ScriptError(line, u"page about: no arguments expected");
        const std::u16string caption = action == u"about" ? u"About..." : w[2];
        HWND target = nullptr;
        for (HWND child : Descendants(page.container->PageWindow()))
            if (!target && WithoutAmpersands(Text(child)) == caption && IsWindowVisible(child)) target = child;
        if (!target) throw ScriptError(line, u"page click: no control " + caption + u" on the page");
        t_.Line(u"page click " + Transcript::Quote(caption));
        SendMessageW(target, BM_CLICK, 0, 0);
        // What the click opened (the About box) may have seen the dialog closed meanwhile.
        if (IsOpen()) Report(*pages_.front());
    } else if (action == u"apply" || action == u"ok" || action == u"cancel") {
        if (w.size() != 2) throw ScriptError(line, u"page " + action + u": no arguments expected");
        const int id = action == u"apply" ? kApplyButton : action == u"ok" ? IDOK : IDCANCEL;
        PressHostButton(page, id);
        if (IsOpen()) Report(page);
    } else if (action == u"key") {
        if (w.size() != 3) throw ScriptError(line, u"page key: Tab, Shift+Tab, Enter, Escape or Space expected");
        PressKey(page, w[2], line);
    } else if (action == u"show") {
        Report(page);
    } else if (action == u"hold") {
        // For a picture taken from outside: paint, say so, wait for the go-ahead (the robot's
        // deadline ends a run that never gets it).
        if (w.size() != 4) throw ScriptError(line, u"page hold: a ready file and a done file expected");
        RedrawWindow(page.container->window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        page.container->PumpMessages();
        HANDLE ready = CreateFileW(com::wide(w[2]), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (ready == INVALID_HANDLE_VALUE) throw ScriptError(line, u"page hold: cannot write " + w[2]);
        CloseHandle(ready);
        while (GetFileAttributesW(com::wide(w[3])) == INVALID_FILE_ATTRIBUTES) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            page.container->PumpMessages();
        }
        t_.Line(u"page held");
    } else {
        throw ScriptError(line, u"page: click, about, key, apply, ok, cancel, show or hold expected");
    }
}

void OptionsDialog::PressKey(Page& page, const std::u16string& name, int line) {
    struct Key {
        const char16_t* name;
        WPARAM vk;
        bool shift;
    };
    static constexpr Key keys[] = {
        {u"Tab", VK_TAB, false}, {u"Shift+Tab", VK_TAB, true}, {u"Enter", VK_RETURN, false},
        {u"Escape", VK_ESCAPE, false}, {u"Space", VK_SPACE, false}};
    const Key* key = nullptr;
    for (const Key& k : keys)
        if (name == k.name) key = &k;
    if (!key) throw ScriptError(line, u"page key: Tab, Shift+Tab, Enter, Escape or Space expected");
    HWND dialog = page.container->window();
    HWND focus = GetFocus();
    if (!focus || (focus != dialog && !IsChild(dialog, focus)))
        throw ScriptError(line, u"page key: the focus is not in the Options dialog");

    // Typed as the keyboard would: through the queue, so the host's routing sees it; Shift held in
    // the thread's key state, where the page and the dialog manager look for it.
    BYTE state[256] = {};
    GetKeyboardState(state);
    const BYTE shift = state[VK_SHIFT];
    state[VK_SHIFT] = key->shift ? 0x80 : 0;
    SetKeyboardState(state);
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(key->vk), MAPVK_VK_TO_VSC);
    PostMessageW(focus, WM_KEYDOWN, key->vk, static_cast<LPARAM>(1 | (scan << 16)));
    PostMessageW(focus, WM_KEYUP, key->vk, static_cast<LPARAM>(0xC0000001u | (scan << 16)));
    page.container->PumpMessages();
    state[VK_SHIFT] = shift;
    SetKeyboardState(state);

    HWND now = GetFocus();
    t_.Line(u"page key " + name + u" focus=" +
            (now ? Transcript::Quote(WithoutAmpersands(Text(now))) : std::u16string(u"none")));
    if (page.closeRequest) {
        Close(*page.closeRequest);
        return;
    }
    Report(page);
}

void OptionsDialog::Close(bool ok) {
    if (!IsOpen()) return;
    for (auto& page : pages_) {
        if (ok && page->container->Dirty().value_or(false))
            t_.Line(u"page " + Transcript::Quote(page->title) + u" Apply " + Status(page->container->Apply()));
        page->container->LetGo();
        page->container.reset();
        page->control.reset();
    }
    pages_.clear();
    t_.Line(ok ? u"options dialog closed ok" : u"options dialog closed cancel");
}

}  // namespace standin::win
