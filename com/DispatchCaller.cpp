#include "com/DispatchCaller.h"

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "base/HostError.h"
#include "com/Lock.h"
#include "com/Strings.h"

namespace com {
namespace {

struct IidLess {
    bool operator()(const IID& a, const IID& b) const noexcept { return std::memcmp(&a, &b, sizeof(IID)) < 0; }
};

// Key: the interface, then the member name and the names of named arguments, separated by NULs.
struct IdCache {
    Lock mutex;
    std::map<IID, std::map<std::u16string, std::vector<DISPID>, std::less<>>, IidLess> ids;
};

IdCache& idCache() {
    static IdCache cache;
    return cache;
}

// Frees the strings of an EXCEPINFO when the call is over.
struct ExcepInfo : EXCEPINFO {
    ExcepInfo() noexcept : EXCEPINFO{} {}
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
};

[[noreturn]] void throwInvokeFailure(HRESULT hr, ExcepInfo& info) {
    if (hr != DISP_E_EXCEPTION) throw HostError(hr, {});
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    HRESULT status = info.scode;
    if (!FAILED(status)) status = info.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode) : hr;
    throw HostError(status, fromBstr(info.bstrDescription));
}

IID interfaceOf(IDispatch* object, bool& known) {
    known = false;
    IID iid{};
    ComPtr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, 0, info.put())) || !info) return iid;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return iid;
    iid = attr->guid;
    info->ReleaseTypeAttr(attr);
    known = true;
    return iid;
}

}  // namespace

DispatchCaller::DispatchCaller(ComPtr<IDispatch> object, const IID& iface)
    : object_(std::move(object)), iface_(iface), cached_(true) {
    if (!object_) throw HostError(E_POINTER, {});
}

DispatchCaller::DispatchCaller(ComPtr<IDispatch> object) : object_(std::move(object)), iface_{}, cached_(false) {
    if (!object_) throw HostError(E_POINTER, {});
    iface_ = interfaceOf(object_.get(), cached_);
}

std::vector<DISPID> DispatchCaller::ids(std::u16string_view member, std::span<const std::u16string_view> args) const {
    std::u16string key(member);
    for (auto arg : args) {
        key += u'\0';
        key += arg;
    }
    if (cached_) {
        IdCache& cache = idCache();
        std::lock_guard lock(cache.mutex);
        auto byIface = cache.ids.find(iface_);
        if (byIface != cache.ids.end()) {
            auto found = byIface->second.find(key);
            if (found != byIface->second.end()) return found->second;
        }
    }

    std::vector<std::wstring> names;
    names.push_back(toWide(member));
    for (auto arg : args) names.push_back(toWide(arg));
    std::vector<LPOLESTR> pointers;
    for (auto& name : names) pointers.push_back(name.data());
    std::vector<DISPID> result(names.size(), DISPID_UNKNOWN);
    // The lock is not held here: the object may call back into this module.
    const HRESULT hr = object_->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()), 0,
                                              result.data());
    if (FAILED(hr)) throw HostError(hr, {});

    if (cached_) {
        IdCache& cache = idCache();
        std::lock_guard lock(cache.mutex);
        cache.ids[iface_][std::move(key)] = result;
    }
    return result;
}

DISPID DispatchCaller::id(std::u16string_view name) const { return ids(name, {}).front(); }

Variant DispatchCaller::invoke(DISPID id, WORD flags, std::span<const VARIANT> positional,
                               std::span<const VARIANT> named, std::span<const DISPID> namedIds) const {
    // rgvarg holds the named arguments first (in rgdispidNamedArgs order), then the positional ones
    // last to first. The copies are shallow: the caller's Variants keep ownership.
    std::vector<VARIANT> args;
    args.reserve(named.size() + positional.size());
    args.insert(args.end(), named.begin(), named.end());
    args.insert(args.end(), positional.rbegin(), positional.rend());
    std::vector<DISPID> nameIds(namedIds.begin(), namedIds.end());

    DISPPARAMS params{};
    params.rgvarg = args.empty() ? nullptr : args.data();
    params.cArgs = static_cast<UINT>(args.size());
    params.rgdispidNamedArgs = nameIds.empty() ? nullptr : nameIds.data();
    params.cNamedArgs = static_cast<UINT>(nameIds.size());

    const bool isPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    Variant result;
    ExcepInfo exception;
    UINT argError = 0;
    const HRESULT hr = object_->Invoke(id, IID_NULL, 0, flags, &params, isPut ? nullptr : result.put(), &exception,
                                       &argError);
    if (FAILED(hr)) throwInvokeFailure(hr, exception);
    return result;
}

Variant DispatchCaller::invokeList(std::u16string_view name, WORD flags, std::initializer_list<Variant> args) const {
    std::vector<VARIANT> positional;
    positional.reserve(args.size());
    for (const Variant& arg : args) positional.push_back(*arg.get());
    return invoke(id(name), flags, positional);
}

Variant DispatchCaller::get(std::u16string_view name, std::initializer_list<Variant> args) const {
    return invokeList(name, DISPATCH_PROPERTYGET, args);
}

Variant DispatchCaller::call(std::u16string_view name, std::initializer_list<Variant> args) const {
    return invokeList(name, DISPATCH_METHOD, args);
}

Variant DispatchCaller::callOrGet(std::u16string_view name, std::initializer_list<Variant> args) const {
    return invokeList(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

void DispatchCaller::put(std::u16string_view name, const Variant& value) const {
    const DISPID putId = DISPID_PROPERTYPUT;
    (void)invoke(id(name), DISPATCH_PROPERTYPUT, {}, {value.get(), 1}, {&putId, 1});
}

void DispatchCaller::putRef(std::u16string_view name, const Variant& value) const {
    const DISPID putId = DISPID_PROPERTYPUT;
    (void)invoke(id(name), DISPATCH_PROPERTYPUTREF, {}, {value.get(), 1}, {&putId, 1});
}

Variant DispatchCaller::callNamed(std::u16string_view name, std::initializer_list<NamedArg> args) const {
    std::vector<std::u16string_view> argNames;
    std::vector<VARIANT> values;
    for (const NamedArg& arg : args) {
        argNames.push_back(arg.name);
        values.push_back(*arg.value.get());
    }
    const auto all = ids(name, argNames);
    return invoke(all.front(), DISPATCH_METHOD, {}, values, std::span(all).subspan(1));
}

}  // namespace com
