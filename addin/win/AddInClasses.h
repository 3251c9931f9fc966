#pragma once
// The add-in's COM classes (the faces of the core's Connect, EventManager and ActionManager), the
// module's class table and what registration writes.
#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "Tallowby.h"
#include "com/ClassFactory.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "com/Registration.h"
#include "addin/core/ActionManager.h"
#include "addin/core/Connect.h"
#include "addin/core/EventManager.h"
#include "addin/win/WinPlatform.h"

/// In-module access from an ActionManager COM object to the core object behind it, so that an
/// EventManager handed one through its interface can pass the core object on. Never leaves the module.
struct IActionManagerCore : public IUnknown {
    virtual std::shared_ptr<addin::ActionManager> Core() noexcept = 0;
};
__CRT_UUID_DECL(IActionManagerCore, 0x3c1e0f52, 0x7a4b, 0x4d2e, 0x9b, 0x61, 0x0e, 0x55, 0x8d, 0x2a, 0x47, 0x13)

namespace addin::win {

/// What the module's objects share, handed to each when it is made (see Classes()).
class AddInModule {
public:
    /// The platform services; pictures come from this module.
    addin::win::WinPlatform& Platform() noexcept { return platform_; }

    /// The host's major version as the add-in's latest connection read it (-1 before one has): a
    /// mangler that a caller creates has no connection of its own and takes it when it is made.
    int16_t ConnectedHostMajor() const noexcept { return connectedMajor_.load(); }
    void SetConnectedHostMajor(int16_t major) noexcept { connectedMajor_.store(major); }

    /// The module's one instance, made at first use.
    static AddInModule& Instance() noexcept;

private:
    explicit AddInModule(HMODULE module) : platform_(module) {}

    addin::win::WinPlatform platform_;
    std::atomic<int16_t> connectedMajor_{-1};
};

/// One creatable class: its identifier, how to make it and its name ("Tallowby.<name>" is its ProgID).
struct AddInClass {
    const CLSID* clsid;
    com::CreateFunction create;
    const wchar_t* name;
};

/// Every creatable class of the module; registration and DllGetClassObject both read this table.
std::span<const AddInClass> Classes() noexcept;

/// The host's add-in list entry for this add-in, under HKEY_CURRENT_USER (under HKEY_LOCAL_MACHINE
/// when registered for every user: the host reads both, the user's first).
inline constexpr wchar_t AddInKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins\\Tallowby.Connect";
inline constexpr wchar_t FriendlyName[] = L"Quenmark Save Attachments";
inline constexpr wchar_t Description[] = L"Provides useful options for saving attachments";
inline constexpr DWORD LoadBehavior = 3;

/// What DllRegisterServer writes: the classes, the type library, the host's add-in entry.
com::ServerInfo Registration();

/// DllGetClassObject over Classes().
[[nodiscard]] HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;

/// Connect: the host's entry object. Its IDispatch serves _IDTExtensibility2's dispatch ids 1 to 5
/// by hand (that interface is the host's, so our type library does not describe it) and has no
/// members of its own for _Connect. Hosts of version 12 and later also query it for
/// IRibbonExtensibility and call the markup's callbacks on it by name.
class ConnectObject final : public com::ComObject<com::Derives<_Connect, IDispatch>, _IDTExtensibility2> {
public:
    explicit ConnectObject(AddInModule& module);

    /// IRibbonExtensibility: dual, with GetCustomUI at dispatch id 1, which the object's own
    /// IDispatch gives to OnConnection. So it is a part with an IDispatch of its own (GetCustomUI and
    /// the callbacks by name), sharing the object's identity and reference count.
    class RibbonPart final : public IRibbonExtensibility {
    public:
        explicit RibbonPart(ConnectObject& outer) noexcept : outer_(outer) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override { return outer_.QueryInterface(iid, out); }
        STDMETHODIMP_(ULONG) AddRef() noexcept override { return outer_.AddRef(); }
        STDMETHODIMP_(ULONG) Release() noexcept override { return outer_.Release(); }
        STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
        STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept override;
        STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override;
        STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* exception, UINT* argError) noexcept override;
        STDMETHODIMP GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) noexcept override;

    private:
        ConnectObject& outer_;
    };

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override;

    STDMETHODIMP OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch* AddInInst,
                              SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnStartupComplete(SAFEARRAY** custom) noexcept override;
    STDMETHODIMP OnBeginShutdown(SAFEARRAY** custom) noexcept override;

protected:
    ~ConnectObject() override;
    void* queryOther(REFIID iid) noexcept override;

private:
    /// A ribbon callback named in the markup, by the dispatch id GetIDsOfNames gave for its name.
    [[nodiscard]] HRESULT InvokeCallback(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                         UINT* argError) noexcept;

    AddInModule& module_;
    addin::Connect core_;
    RibbonPart ribbon_{*this};
};

/// EventManager's COM face.
class EventManagerObject final : public com::ComObject<com::DispatchImpl<_EventManager>> {
public:
    explicit EventManagerObject(AddInModule& module);

    STDMETHODIMP InitHandler(IDispatch* oApp, BSTR sProgID, _ActionManager* acmgr) noexcept override;
    STDMETHODIMP UnInitHandler() noexcept override;
    STDMETHODIMP CleanUpHandler() noexcept override;

protected:
    ~EventManagerObject() override;

private:
    std::shared_ptr<addin::EventManager> core_;
};

/// ActionManager's COM face.
class ActionManagerObject final
    : public com::ComObject<com::DispatchImpl<_ActionManager>, IActionManagerCore> {
public:
    explicit ActionManagerObject(AddInModule& module);

    STDMETHODIMP Action(IDispatch* ins) noexcept override;
    STDMETHODIMP IsEnabled(IDispatch* Item, VARIANT_BOOL* result) noexcept override;
    STDMETHODIMP GetImageResourceId(short* result) noexcept override;
    STDMETHODIMP GetImageMaskResourceId(short* result) noexcept override;
    STDMETHODIMP GetCaption(BSTR* result) noexcept override;
    STDMETHODIMP GetTag(BSTR* result) noexcept override;
    STDMETHODIMP CheckItemSend(IDispatch* Item, VARIANT_BOOL* Cancel) noexcept override;

    std::shared_ptr<ActionManager> Core() noexcept override { return core_; }

protected:
    ~ActionManagerObject() override;

private:
    std::shared_ptr<ActionManager> core_;
};

}  // namespace addin::win
