// DLLs the build check must reject: one with a fifth export, one importing a DLL of its own, one
// importing Windows functions the import table does not list or the target Windows lacks.
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

STDAPI DllRegisterServer() {
#ifdef TALLOWBY_NEWER_IMPORTS
    Beep(440, 1);                                      // not in the table
    (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"none");  // Windows Vista
    HMODULE module = nullptr;                          // Windows XP
    (void)GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, L"kernel32.dll", &module);
#endif
    return E_NOTIMPL;
}

STDAPI DllUnregisterServer() { return E_NOTIMPL; }
