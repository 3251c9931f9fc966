#pragma once
// An owned VARIANT, its construction from the core's values and automation's conversions back.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#include "com/ComPtr.h"

namespace com {

/// Owns one VARIANT (VariantClear on destruction). Copy is VariantCopy; move leaves VT_EMPTY behind.
class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    template <std::same_as<bool> B>
    Variant(B value) noexcept : Variant() {
        V_VT(&v_) = VT_BOOL;
        V_BOOL(&v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    Variant(int32_t value) noexcept;
    Variant(long value) noexcept : Variant(static_cast<int32_t>(value)) {}
    Variant(double value) noexcept;
    /// A BSTR copy of `text`. Throws std::bad_alloc.
    Variant(std::u16string_view text);
    Variant(const char16_t* text) : Variant(std::u16string_view(text)) {}
    Variant(const std::u16string& text) : Variant(std::u16string_view(text)) {}
    /// VT_DISPATCH (or VT_UNKNOWN) sharing the object; null is allowed ("Nothing").
    Variant(IDispatch* object) noexcept;
    Variant(IUnknown* object) noexcept;

    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { VariantClear(&v_); }

    /// An optional argument left out: VT_ERROR with DISP_E_PARAMNOTFOUND.
    [[nodiscard]] static Variant missing() noexcept;
    /// By-reference arguments: the callee reads and writes the caller's variable.
    [[nodiscard]] static Variant byRef(VARIANT_BOOL* target) noexcept;
    [[nodiscard]] static Variant byRef(BSTR* target) noexcept;
    [[nodiscard]] static Variant byRef(LONG* target) noexcept;
    [[nodiscard]] static Variant byRef(VARIANT* target) noexcept;
    /// A byte array (VT_ARRAY | VT_UI1) holding `bytes`. Throws std::bad_alloc.
    [[nodiscard]] static Variant fromBytes(std::string_view bytes);
    /// Takes ownership of `v`'s contents.
    [[nodiscard]] static Variant adopt(const VARIANT& v) noexcept;

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    /// Clears what is held and returns the VARIANT for an out-parameter.
    [[nodiscard]] VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }
    /// Gives up ownership: the caller must VariantClear the result.
    [[nodiscard]] VARIANT release() noexcept;

    VARTYPE type() const noexcept { return V_VT(&v_); }
    bool isMissing() const noexcept { return V_VT(&v_) == VT_ERROR && V_ERROR(&v_) == DISP_E_PARAMNOTFOUND; }

    // Automation's conversions; each throws HostError (e.g. DISP_E_TYPEMISMATCH) when it fails.
    std::u16string toString() const;
    int32_t toLong() const;
    bool toBool() const;
    double toDouble() const;
    /// The bytes of a byte array (VT_ARRAY | VT_UI1, or by reference); HostError
    /// (DISP_E_TYPEMISMATCH) for anything else.
    std::string toBytes() const;
    /// The object held (VT_DISPATCH, VT_UNKNOWN, or by reference); empty for Nothing or VT_EMPTY.
    ComPtr<IDispatch> toDispatch() const;

private:
    VARIANT v_;
};

/// The object `v` holds (VT_DISPATCH, VT_UNKNOWN, or by reference); empty for Nothing or VT_EMPTY.
/// Throws HostError (DISP_E_TYPEMISMATCH, E_NOINTERFACE) for anything else.
ComPtr<IDispatch> dispatchOf(const VARIANT& v);

}  // namespace com
