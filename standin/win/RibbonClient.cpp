#include "standin/win/RibbonClient.h"

#include "base/HostError.h"
#include "com/Strings.h"

namespace standin::win {

std::u16string RibbonClient::GetCustomUI(const std::u16string& ribbonId) {
    com::Bstr id(ribbonId);
    BSTR xml = nullptr;
    const HRESULT hr = addIn_->GetCustomUI(id.get(), &xml);
    const com::Bstr owned = com::Bstr::adopt(xml);
    if (FAILED(hr)) throw HostError(hr, u"GetCustomUI failed");
    return com::fromBstr(owned.get());
}

bool RibbonClient::HasCallback(const std::u16string& name) {
    if (ids_.count(name)) return true;
    std::wstring wide = com::toWide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = addIn_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr == DISP_E_UNKNOWNNAME) return false;
    if (FAILED(hr)) throw HostError(hr, u"GetIDsOfNames failed");
    ids_[name] = id;
    return true;
}

com::Variant RibbonClient::Call(const std::u16string& name, IDispatch* argument) {
    if (!HasCallback(name)) throw HostError(DISP_E_UNKNOWNNAME, u"No callback " + name);
    com::Variant arg(argument);
    DISPPARAMS params{arg.get(), nullptr, 1, 0};
    com::Variant result;
    EXCEPINFO info{};
    UINT argError = 0;
    const HRESULT hr = addIn_->Invoke(ids_[name], IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                      result.put(), &info, &argError);
    const com::Bstr source = com::Bstr::adopt(info.bstrSource);
    const com::Bstr description = com::Bstr::adopt(info.bstrDescription);
    const com::Bstr help = com::Bstr::adopt(info.bstrHelpFile);
    if (FAILED(hr))
        throw HostError(hr == DISP_E_EXCEPTION && FAILED(info.scode) ? info.scode : hr, com::fromBstr(description.get()));
    return result;
}

void RibbonClient::OnLoad(const std::u16string& name, const std::shared_ptr<host::RibbonUI>& ribbon) {
    (void)Call(name, face_.RibbonUI(ribbon).get());
}

void RibbonClient::OnAction(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) {
    (void)Call(name, face_.RibbonControl(control).get());
}

bool RibbonClient::GetBool(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) {
    const com::Variant result = Call(name, face_.RibbonControl(control).get());
    // The ribbon takes a Boolean and nothing else for enabled and visible.
    if (result.type() != VT_BOOL) throw HostError(DISP_E_TYPEMISMATCH, u"The callback did not answer a Boolean");
    return result.toBool();
}

std::u16string RibbonClient::GetImage(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) {
    const com::Variant result = Call(name, face_.RibbonControl(control).get());
    if (result.type() != VT_DISPATCH && result.type() != VT_UNKNOWN)
        throw HostError(DISP_E_TYPEMISMATCH, u"The callback did not answer a picture");
    const com::ComPtr<IDispatch> picture = result.toDispatch();
    return DescribePicture(picture.get());
}

}  // namespace standin::win
