#include "com/DispatchImpl.h"

#include <mutex>
#include <string>
#include <vector>

#include "com/Guard.h"
#include "com/Lock.h"

namespace com {
namespace {

struct CachedInfo {
    IID iid;
    ComPtr<ITypeInfo> described;  // what GetTypeInfo hands out
    ComPtr<ITypeInfo> invoked;    // the vtable view, for Invoke and GetIDsOfNames
};

struct TypeInfoCache {
    Lock mutex;
    ComPtr<ITypeLib> library;
    std::vector<CachedInfo> infos;
};

TypeInfoCache& cache() {
    static TypeInfoCache instance;
    return instance;
}

HRESULT loadInfo(TypeInfoCache& c, REFIID iid, CachedInfo& out) {
    if (!c.library) {
        const std::wstring path = Module::path();
        const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, c.library.put());
        if (FAILED(hr)) return hr;
    }
    out.iid = iid;
    HRESULT hr = c.library->GetTypeInfoOfGuid(iid, out.described.put());
    if (FAILED(hr)) return hr;
    out.invoked = out.described;

    TYPEATTR* attr = nullptr;
    hr = out.described->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const bool dual = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    out.described->ReleaseTypeAttr(attr);
    if (dual) {
        // The dispatch view of a dual interface describes dispatch members; invoking them through
        // it would call IDispatch::Invoke again. The vtable part is reference -1.
        HREFTYPE ref = 0;
        hr = out.described->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
        if (FAILED(hr)) return hr;
        hr = out.described->GetRefTypeInfo(ref, out.invoked.put());
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT moduleTypeInfo(REFIID iid, bool forInvoke, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        TypeInfoCache& c = cache();
        std::lock_guard lock(c.mutex);
        const CachedInfo* found = nullptr;
        for (const auto& info : c.infos)
            if (info.iid == iid) found = &info;
        if (!found) {
            CachedInfo info{};
            const HRESULT hr = loadInfo(c, iid, info);
            if (FAILED(hr)) return hr;
            c.infos.push_back(std::move(info));
            found = &c.infos.back();
        }
        ComPtr<ITypeInfo> result = forInvoke ? found->invoked : found->described;
        *out = result.detach();
        return S_OK;
    } catch (...) {
        return currentExceptionStatus(false);
    }
}

}  // namespace com
