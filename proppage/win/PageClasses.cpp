#include "proppage/win/PageClasses.h"

#include "com/ClassFactory.h"
#include "com/Strings.h"
#include "proppage/win/PropPageControl.h"

namespace proppage::win {

com::ServerInfo Registration(const std::wstring& modulePath) {
    const std::wstring clsidKey = L"CLSID\\" + com::guidString(CLSID_PropPage);
    com::ServerInfo server{{LIBID_TallowbyPage, 1, 0}, {{CLSID_PropPage, ProgId, ProgId}}, {}};
    // A control: containers read these to know how to site it (MiscStatus\1 is the content aspect).
    server.extraKeys = {
        {HKEY_CLASSES_ROOT, clsidKey + L"\\Control", {}},
        {HKEY_CLASSES_ROOT, clsidKey + L"\\MiscStatus", {{L"", std::wstring(L"0")}}},
        {HKEY_CLASSES_ROOT, clsidKey + L"\\MiscStatus\\1", {{L"", com::decimal(MiscStatus)}}},
        {HKEY_CLASSES_ROOT, clsidKey + L"\\ToolboxBitmap32",
         {{L"", modulePath + L", " + com::decimal(ToolboxBitmapId)}}},
    };
    return server;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    static const com::ClassEntry classes[] = {{&CLSID_PropPage, &com::createObject<PropPageControl>}};
    return com::getClassObject(classes, clsid, iid, out);
}

}  // namespace proppage::win
