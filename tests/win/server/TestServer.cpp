// Entry points of the test server DLL, exactly as the project's real DLLs have them.
#include <windows.h>

#include "com/ClassFactory.h"
#include "com/Guard.h"
#include "com/Module.h"
#include "com/Registration.h"
#include "tests/win/server/TestObject.h"

namespace {

const com::ClassEntry classes[] = {{&__uuidof(TallowbyTest), &com::createObject<TestObject>}};

com::ServerInfo server() {
    return {{LIBID_TallowbyTestLib, 1, 0}, {{__uuidof(TallowbyTest), L"Tallowby.Test", L"Tallowby test object"}}, {}};
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return com::getClassObject(classes, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return com::canUnloadNow(); }

STDAPI DllRegisterServer() {
    return com::guard([] { return com::registerServer(server(), com::Module::path()); });
}

STDAPI DllUnregisterServer() {
    return com::guard([] { return com::unregisterServer(server(), com::Module::path()); });
}
