// The entry points of Tallowby.dll, the only names it exports: the four of every in-process server
// and DllInstall, which registers for the current user alone (regsvr32 /n /i:user) or for every user
// of the machine (regsvr32 /n /i:machine).
#include <windows.h>

#include "addin/win/AddInClasses.h"
#include "com/Guard.h"
#include "com/Module.h"
#include "com/Registration.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) { return addin::win::GetClassObject(clsid, iid, out); }

STDAPI DllCanUnloadNow() { return com::canUnloadNow(); }

STDAPI DllRegisterServer() {
    return com::guard([] { return com::registerServer(addin::win::Registration(), com::Module::path()); });
}

STDAPI DllUnregisterServer() {
    return com::guard([] { return com::unregisterServer(addin::win::Registration(), com::Module::path()); });
}

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    return com::guard(
        [&] { return com::installServer(addin::win::Registration(), com::Module::path(), install != FALSE, commandLine); });
}
