// DLLs the build check must reject: one with a fifth export, one importing a DLL of its own.
#include <windows.h>

#ifdef TALLOWBY_EXTRA_EXPORT
extern "C" __declspec(dllexport) int TallowbyExtra() { return 1; }
#endif
#ifdef TALLOWBY_EXTRA_IMPORT
extern "C" __declspec(dllimport) int TallowbyExtra();
#endif

STDAPI DllGetClassObject(REFCLSID, REFIID, void** out) {
    if (out) *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
#ifdef TALLOWBY_EXTRA_IMPORT
    return TallowbyExtra() ? S_OK : S_FALSE;
#else
    return S_OK;
#endif
}

STDAPI DllRegisterServer() { return E_NOTIMPL; }

STDAPI DllUnregisterServer() { return E_NOTIMPL; }
