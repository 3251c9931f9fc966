// The entry points of TallowbyPage.dll, the only names it exports: the four of every in-process
// server and DllInstall, which registers for the current user alone (regsvr32 /n /i:user) or for
// every user of the machine (regsvr32 /n /i:machine).
#include <windows.h>

#include "com/Guard.h"
#include "com/Module.h"
#include "com/Registration.h"
#include "proppage/win/PageClasses.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) { return proppage::win::GetClassObject(clsid, iid, out); }

STDAPI DllCanUnloadNow() { return com::canUnloadNow(); }

STDAPI DllRegisterServer() {
    return com::guard([] {
        const std::wstring path = com::Module::path();
        return com::registerServer(proppage::win::Registration(path), path);
    });
}

STDAPI DllUnregisterServer() {
    return com::guard([] {
        const std::wstring path = com::Module::path();
        return com::unregisterServer(proppage::win::Registration(path), path);
    });
}

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    return com::guard([&] {
        const std::wstring path = com::Module::path();
        return com::installServer(proppage::win::Registration(path), path, install != FALSE, commandLine);
    });
}
