#include "addin/win/AddInClasses.h"
#include "addin/win/HostAdapters.h"
#include "base/HostError.h"
#include "base/ScopeExit.h"
#include "com/Guard.h"
#include "com/Strings.h"

namespace addin::win {
namespace {

std::shared_ptr<host::Item> ItemOf(IDispatch* object) {
    return object ? addin::win::WrapItem(com::ComPtr<IDispatch>(object)) : nullptr;
}

template <class Value>
HRESULT Answer(Value* out, Value value) noexcept {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

HRESULT Answer(BSTR* out, const std::u16string& text) noexcept {
    return com::guardOut(out, [&] { *out = com::Bstr(text).release(); });
}

}  // namespace

EventManagerObject::EventManagerObject(AddInModule& module) : core_(addin::EventManager::Create(module.Platform())) {}

EventManagerObject::~EventManagerObject() = default;

STDMETHODIMP EventManagerObject::InitHandler(IDispatch* oApp, BSTR sProgID, _ActionManager* acmgr) noexcept {
    return com::guard([&] {
        // Typed arguments as the class declares them: the host's application, our action manager.
        std::shared_ptr<host::Application> app;
        if (oApp) {
            com::ComPtr<IDispatch> outlook;
            const HRESULT hr = oApp->QueryInterface(addin::win::iids::Application, outlook.putVoid());
            if (FAILED(hr)) throw HostError(hr, u"Not the host's application object");
            app = addin::win::WrapApplication(std::move(outlook));
        }
        std::shared_ptr<ActionManager> actions;
        if (acmgr) actions = com::ComPtr<IUnknown>(acmgr).query<IActionManagerCore>()->Core();
        core_->InitHandler(app, com::fromBstr(sProgID), actions);
    });
}

STDMETHODIMP EventManagerObject::UnInitHandler() noexcept {
    core_->UnInitHandler();
    return S_OK;
}

STDMETHODIMP EventManagerObject::CleanUpHandler() noexcept {
    return com::guard([&] { core_->CleanUpHandler(); });
}

ActionManagerObject::ActionManagerObject(AddInModule& module)
    : core_(std::make_shared<ActionManager>(module.Platform())) {}

ActionManagerObject::~ActionManagerObject() = default;

STDMETHODIMP ActionManagerObject::Action(IDispatch* ins) noexcept {
    return com::guard([&] {
        // The command's dialogs are modal: kept by the call, whatever its caller does meanwhile.
        const auto core = core_;
        core->Action(ins ? addin::win::WrapInspector(com::ComPtr<IDispatch>(ins)) : nullptr);
    });
}

STDMETHODIMP ActionManagerObject::IsEnabled(IDispatch* Item, VARIANT_BOOL* result) noexcept {
    return com::guardOut(result, [&] { *result = core_->IsEnabled(ItemOf(Item)) ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP ActionManagerObject::GetImageResourceId(short* result) noexcept {
    return Answer(result, static_cast<short>(core_->GetImageResourceId()));
}

STDMETHODIMP ActionManagerObject::GetImageMaskResourceId(short* result) noexcept {
    return Answer(result, static_cast<short>(core_->GetImageMaskResourceId()));
}

STDMETHODIMP ActionManagerObject::GetCaption(BSTR* result) noexcept {
    return com::guard([&] { return Answer(result, core_->GetCaption()); });
}

STDMETHODIMP ActionManagerObject::GetTag(BSTR* result) noexcept {
    return com::guard([&] { return Answer(result, core_->GetTag()); });
}

STDMETHODIMP ActionManagerObject::CheckItemSend(IDispatch* Item, VARIANT_BOOL* Cancel) noexcept {
    return com::guardOut(Cancel, [&] {
        bool cancel = *Cancel != VARIANT_FALSE;
        // By reference: what the check wrote reaches the caller even when it then fails.
        const base::ScopeExit writeBack([&]() noexcept { *Cancel = cancel ? VARIANT_TRUE : VARIANT_FALSE; });
        core_->CheckItemSend(ItemOf(Item), cancel);
    });
}

}  // namespace addin::win
