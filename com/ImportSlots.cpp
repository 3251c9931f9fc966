// Linked as an object into every COM DLL (never through an archive): the linker reads objects before
// it searches libraries, so these definitions fill the import slots the static thread library asks
// for, and the system's import libraries are never asked for them (com/RuntimeImports.h says why).
#include "com/RuntimeImports.h"

#include <cstdlib>

// The slot's symbol as the compiler spells a call to an imported function: on i686 with the stdcall
// suffix of the argument bytes.
#ifdef _WIN64
#define TALLOWBY_IMPORT_SLOT(name, argumentBytes) __asm__("__imp_" #name)
#else
#define TALLOWBY_IMPORT_SLOT(name, argumentBytes) __asm__("__imp__" #name "@" #argumentBytes)
#endif

extern "C" {
extern ULONGLONG(WINAPI* const tallowbyGetTickCount64)() TALLOWBY_IMPORT_SLOT(GetTickCount64, 0);
extern PVOID(WINAPI* const tallowbyAddVectoredExceptionHandler)(ULONG, PVECTORED_EXCEPTION_HANDLER)
    TALLOWBY_IMPORT_SLOT(AddVectoredExceptionHandler, 8);
extern ULONG(WINAPI* const tallowbyRemoveVectoredExceptionHandler)(PVOID)
    TALLOWBY_IMPORT_SLOT(RemoveVectoredExceptionHandler, 4);

ULONGLONG(WINAPI* const tallowbyGetTickCount64)() = &com::runtime::tickCount64;
PVOID(WINAPI* const tallowbyAddVectoredExceptionHandler)(ULONG, PVECTORED_EXCEPTION_HANDLER) =
    &com::runtime::addNoVectoredHandler;
ULONG(WINAPI* const tallowbyRemoveVectoredExceptionHandler)(PVOID) = &com::runtime::removeNoVectoredHandler;
}

// The static C++ runtime's default terminate handler prints the exception's demangled type name,
// which brings the whole demangler and the C runtime's printf (some 70 KB) into each DLL, and a DLL
// in the host has no console to print to. Defined here, the runtime's own is never linked; what is
// left of it is the abort.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
