#pragma once
// What the files of the COM face share (FaceBars, FaceItems, Face): the face's state, COM identity
// per model node, the argument conversions, and the functions that wrap a model object.
#include "standin/win/Face.h"

#include <olectl.h>

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "standin/win/EventPoint.h"
#include "StandinHost.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "com/Guard.h"
#include "com/Strings.h"
#include "com/Variant.h"
#include "base/HostError.h"
#include "addin/core/host/Application.h"
#include "addin/core/host/CommandBars.h"
#include "addin/core/host/Explorer.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Item.h"
#include "addin/core/host/PropertyPages.h"

namespace standin::win {

/// A picture set on a button: the model keeps its identity, the face what it looked like.
struct PictureEntry final : host::Picture {
    std::u16string text;
};

struct FaceState {
    std::shared_ptr<Host> host;
    HostOptions options;
    std::map<std::pair<const void*, int>, void*> cache;
    std::vector<std::shared_ptr<PictureEntry>> pictures;
    std::function<void(const std::u16string&)> log;
    std::function<void()> afterWrite;
    size_t live = 0;

    void Event(const std::u16string& line) const {
        if (log) log(line);
    }
    /// An event the face fired: its name, the sinks called and what they returned.
    void Fired(const std::u16string& name, size_t sinks, const std::u16string& outcome = {}) const {
        Event(name + u" sinks=" + com::fromWide(std::to_wstring(sinks)) + outcome);
    }
};

namespace face {

using com::ComPtr;
using com::DispatchImpl;
using com::guard;

enum Kind {
    kApplication,
    kExplorers,
    kExplorer,
    kInspectors,
    kInspector,
    kAttachments,
    kAttachment,
    kPropertyAccessor,
    kPages,
    kBars,
    kBar,
    kControls,
    kButton,
    kAddIn,
    kRibbonUI,
    kRibbonControl,
    kSelection,
    kAttachmentSelection,
    kItem  // + ItemKind
};

/// Registers a live COM object of the face under its node and kind, for COM identity.
class Tracked {
public:
    Tracked(std::shared_ptr<FaceState> state, const void* node, int kind)
        : state_(std::move(state)), key_(node, kind) {
        ++state_->live;
    }
    Tracked(const Tracked&) = delete;
    Tracked& operator=(const Tracked&) = delete;
    ~Tracked() {
        if (const auto it = state_->cache.find(key_); it != state_->cache.end()) state_->cache.erase(it);
        --state_->live;
    }

protected:
    std::shared_ptr<FaceState> state_;
    std::pair<const void*, int> key_;
};

/// The COM object of class T for `node`: the live one, or a new one made from `args`.
template <class T, class... Args>
ComPtr<T> Obtain(const std::shared_ptr<FaceState>& state, const void* node, int kind, Args&&... args) {
    const auto key = std::make_pair(node, kind);
    if (const auto it = state->cache.find(key); it != state->cache.end()) return ComPtr<T>(static_cast<T*>(it->second));
    auto object = com::make<T>(state, node, kind, std::forward<Args>(args)...);
    state->cache[key] = object.get();
    return object;
}

/// The COM object of class T for the model object `object` (null for null), found by its node.
template <class T, class Model, class... Args>
ComPtr<T> WrapNode(const std::shared_ptr<FaceState>& state, int kind, std::shared_ptr<Model> object, Args&&... args) {
    if (!object) return {};
    auto node = NodeOf(*object);
    return Obtain<T>(state, node.get(), kind, std::move(object), std::forward<Args>(args)...);
}

template <class I, class T>
void HandOut(ComPtr<T> object, I** out) noexcept {
    *out = object ? static_cast<I*>(object.detach()) : nullptr;
}

// ---- arguments

inline bool Missing(const VARIANT& v) noexcept { return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND; }

inline com::Variant CopyOf(const VARIANT& v) {
    com::Variant copy;
    const HRESULT hr = VariantCopyInd(copy.put(), const_cast<VARIANT*>(&v));
    if (FAILED(hr)) throw HostError(hr, {});
    return copy;
}

inline std::optional<int32_t> OptLong(const VARIANT& v) {
    if (Missing(v)) return std::nullopt;
    return CopyOf(v).toLong();
}

inline std::optional<bool> OptBool(const VARIANT& v) {
    if (Missing(v)) return std::nullopt;
    return CopyOf(v).toBool();
}

inline std::optional<std::u16string> OptText(const VARIANT& v) {
    if (Missing(v)) return std::nullopt;
    return CopyOf(v).toString();
}

inline void SetText(BSTR* out, const std::u16string& text) { *out = com::Bstr(text).release(); }

/// A property whose value is fixed (or known without a call).
template <class T, class V>
HRESULT Answer(T* out, V value) noexcept {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

inline VARIANT_BOOL ToVariantBool(bool b) noexcept { return b ? VARIANT_TRUE : VARIANT_FALSE; }

inline HRESULT ClassInfo(const CLSID& clsid, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    return com::moduleTypeInfo(clsid, false, out);
}

// The COM object of a model object (null for null), one file's classes each.
ComPtr<IDispatch> WrapItem(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Item> item);
ComPtr<IDispatch> WrapInspector(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Inspector> inspector);
ComPtr<IDispatch> WrapExplorer(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Explorer> explorer);
ComPtr<IDispatch> WrapSelection(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Selection> selection);
ComPtr<IDispatch> WrapAttachmentSelection(const std::shared_ptr<FaceState>& state,
                                          std::shared_ptr<host::AttachmentSelection> selection);
ComPtr<IDispatch> WrapButton(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBarControl> control);
ComPtr<IDispatch> WrapBar(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBar> bar);
ComPtr<IDispatch> WrapBars(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBars> bars);
ComPtr<IDispatch> WrapRibbonUI(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::RibbonUI> ribbon);
ComPtr<IDispatch> WrapRibbonControl(const std::shared_ptr<FaceState>& state,
                                    std::shared_ptr<host::RibbonControl> control);

}  // namespace face
}  // namespace standin::win
