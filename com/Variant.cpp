#include "com/Variant.h"

#include <cstring>
#include <new>

#include "base/HostError.h"
#include "com/Strings.h"

namespace com {
namespace {

void check(HRESULT hr) {
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr)) throw HostError(hr, {});
}

Variant changed(const VARIANT& source, VARTYPE type) {
    Variant out;
    check(VariantChangeType(out.get(), const_cast<VARIANT*>(&source), 0, type));
    return out;
}

}  // namespace

Variant::Variant(int32_t value) noexcept : Variant() {
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = value;
}

Variant::Variant(double value) noexcept : Variant() {
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = value;
}

Variant::Variant(std::u16string_view text) : Variant() {
    Bstr b(text);
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = b.release();
}

Variant::Variant(IDispatch* object) noexcept : Variant() {
    V_VT(&v_) = VT_DISPATCH;
    V_DISPATCH(&v_) = object;
    if (object) object->AddRef();
}

Variant::Variant(IUnknown* object) noexcept : Variant() {
    V_VT(&v_) = VT_UNKNOWN;
    V_UNKNOWN(&v_) = object;
    if (object) object->AddRef();
}

Variant::Variant(const Variant& other) : Variant() { check(VariantCopy(&v_, const_cast<VARIANT*>(&other.v_))); }

Variant::Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&v_);
        v_ = other.v_;
        VariantInit(&other.v_);
    }
    return *this;
}

Variant Variant::missing() noexcept {
    Variant v;
    V_VT(&v.v_) = VT_ERROR;
    V_ERROR(&v.v_) = DISP_E_PARAMNOTFOUND;
    return v;
}

namespace {

// A by-reference argument: `type` | VT_BYREF pointing at `target`, which the Variant does not own.
Variant referenceTo(VARTYPE type, void* target) noexcept {
    Variant v;
    VARIANT* raw = v.put();
    V_VT(raw) = static_cast<VARTYPE>(type | VT_BYREF);
    V_BYREF(raw) = target;
    return v;
}

}  // namespace

Variant Variant::byRef(VARIANT_BOOL* target) noexcept { return referenceTo(VT_BOOL, target); }

Variant Variant::byRef(BSTR* target) noexcept { return referenceTo(VT_BSTR, target); }

Variant Variant::byRef(LONG* target) noexcept { return referenceTo(VT_I4, target); }

Variant Variant::byRef(VARIANT* target) noexcept { return referenceTo(VT_VARIANT, target); }

Variant Variant::fromBytes(std::string_view bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) throw std::bad_alloc();
    if (!bytes.empty()) {
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
            SafeArrayDestroy(array);
            throw std::bad_alloc();
        }
        std::memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
    }
    Variant v;
    V_VT(&v.v_) = VT_ARRAY | VT_UI1;
    V_ARRAY(&v.v_) = array;
    return v;
}

Variant Variant::adopt(const VARIANT& source) noexcept {
    Variant v;
    v.v_ = source;
    return v;
}

VARIANT Variant::release() noexcept {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
}

std::u16string Variant::toString() const {
    if (V_VT(&v_) == VT_BSTR) return fromBstr(V_BSTR(&v_));
    return fromBstr(V_BSTR(changed(v_, VT_BSTR).get()));
}

int32_t Variant::toLong() const {
    if (V_VT(&v_) == VT_I4) return V_I4(&v_);
    return V_I4(changed(v_, VT_I4).get());
}

bool Variant::toBool() const {
    if (V_VT(&v_) == VT_BOOL) return V_BOOL(&v_) != VARIANT_FALSE;
    return V_BOOL(changed(v_, VT_BOOL).get()) != VARIANT_FALSE;
}

double Variant::toDouble() const {
    if (V_VT(&v_) == VT_R8) return V_R8(&v_);
    return V_R8(changed(v_, VT_R8).get());
}

ComPtr<IDispatch> Variant::toDispatch() const { return dispatchOf(v_); }

ComPtr<IDispatch> dispatchOf(const VARIANT& value) {
    const VARIANT* v = &value;
    if (V_VT(v) == (VT_VARIANT | VT_BYREF)) v = V_VARIANTREF(v);
    IUnknown* object = nullptr;
    switch (V_VT(v)) {
    case VT_EMPTY:
        return {};
    case VT_DISPATCH:
        return ComPtr<IDispatch>(V_DISPATCH(v));
    case VT_DISPATCH | VT_BYREF:
        return ComPtr<IDispatch>(*V_DISPATCHREF(v));
    case VT_UNKNOWN:
        object = V_UNKNOWN(v);
        break;
    case VT_UNKNOWN | VT_BYREF:
        object = *V_UNKNOWNREF(v);
        break;
    default:
        throw HostError(DISP_E_TYPEMISMATCH, {});
    }
    if (!object) return {};
    return ComPtr<IUnknown>(object).query<IDispatch>();
}

std::string Variant::toBytes() const {
    const VARIANT* v = &v_;
    if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    SAFEARRAY* array = nullptr;
    if (V_VT(v) == (VT_ARRAY | VT_UI1)) array = V_ARRAY(v);
    else if (V_VT(v) == (VT_ARRAY | VT_UI1 | VT_BYREF) && V_ARRAYREF(v)) array = *V_ARRAYREF(v);
    else throw HostError(DISP_E_TYPEMISMATCH, {});
    if (!array || SafeArrayGetDim(array) == 0) return {};
    if (SafeArrayGetDim(array) != 1) throw HostError(DISP_E_TYPEMISMATCH, {});
    LONG lower = 0, upper = -1;
    check(SafeArrayGetLBound(array, 1, &lower));
    check(SafeArrayGetUBound(array, 1, &upper));
    std::string bytes;
    if (upper < lower) return bytes;
    void* data = nullptr;
    check(SafeArrayAccessData(array, &data));
    bytes.assign(static_cast<const char*>(data), static_cast<size_t>(upper - lower + 1));
    SafeArrayUnaccessData(array);
    return bytes;
}

}  // namespace com
