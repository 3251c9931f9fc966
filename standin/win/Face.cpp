// The host's objects as COM objects. Each class serves IDispatch from the embedded type library
// (DispatchImpl) and forwards to one reference of the in-memory model; the model keeps the rules,
// the ledger and the injected failures.
#include "Face.h"

#include <olectl.h>

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "EventPoint.h"
#include "StandinHost.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "com/Guard.h"
#include "com/Strings.h"
#include "com/Variant.h"
#include "base/HostError.h"
#include "core/host/Application.h"
#include "core/host/CommandBars.h"
#include "core/host/Explorer.h"
#include "core/host/Inspector.h"
#include "core/host/Item.h"
#include "core/host/PropertyPages.h"

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
    size_t live = 0;

    void event(const std::u16string& line) const {
        if (log) log(line);
    }
};

namespace {

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
    kPages,
    kBars,
    kBar,
    kControls,
    kButton,
    kAddIn,
    kRibbonUI,
    kRibbonControl,
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
ComPtr<T> obtain(const std::shared_ptr<FaceState>& state, const void* node, int kind, Args&&... args) {
    const auto key = std::make_pair(node, kind);
    if (const auto it = state->cache.find(key); it != state->cache.end()) return ComPtr<T>(static_cast<T*>(it->second));
    auto object = com::make<T>(state, node, kind, std::forward<Args>(args)...);
    state->cache[key] = object.get();
    return object;
}

template <class I, class T>
void handOut(ComPtr<T> object, I** out) noexcept {
    *out = object ? static_cast<I*>(object.detach()) : nullptr;
}

// ---- arguments

bool missing(const VARIANT& v) noexcept { return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND; }

com::Variant copyOf(const VARIANT& v) {
    com::Variant copy;
    const HRESULT hr = VariantCopyInd(copy.put(), const_cast<VARIANT*>(&v));
    if (FAILED(hr)) throw HostError(hr, {});
    return copy;
}

std::optional<int32_t> optLong(const VARIANT& v) {
    if (missing(v)) return std::nullopt;
    return copyOf(v).toLong();
}

std::optional<bool> optBool(const VARIANT& v) {
    if (missing(v)) return std::nullopt;
    return copyOf(v).toBool();
}

std::optional<std::u16string> optText(const VARIANT& v) {
    if (missing(v)) return std::nullopt;
    return copyOf(v).toString();
}

void setText(BSTR* out, const std::u16string& text) { *out = com::Bstr(text).release(); }

VARIANT_BOOL vb(bool b) noexcept { return b ? VARIANT_TRUE : VARIANT_FALSE; }

HRESULT classInfo(const CLSID& clsid, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    return com::moduleTypeInfo(clsid, false, out);
}

ComPtr<IDispatch> wrapItem(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Item> item);
ComPtr<IDispatch> wrapInspector(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Inspector> inspector);
ComPtr<IDispatch> wrapButton(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBarControl> control);
ComPtr<IDispatch> wrapBar(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBar> bar);

// ---- command bars

class ControlsObject;

class BarObject final : public com::ComObject<DispatchImpl<CommandBar>>, public Tracked {
public:
    BarObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::CommandBar> bar)
        : Tracked(std::move(s), node, kind), bar_(std::move(bar)) {}

    STDMETHODIMP get_Controls(CommandBarControls** out) noexcept override;
    STDMETHODIMP Delete() noexcept override {
        return guard([&] { bar_->Delete(); });
    }
    STDMETHODIMP get_Name(BSTR* out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, bar_->Name()); });
    }
    STDMETHODIMP put_Name(BSTR) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP get_Position(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = host::msoBarTop;  // the model keeps bars at the top
        return S_OK;
    }
    STDMETHODIMP get_Protection(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = bar_->Protection(); });
    }
    STDMETHODIMP put_Protection(LONG value) noexcept override {
        return guard([&] { bar_->SetProtection(value); });
    }
    STDMETHODIMP get_Visible(VARIANT_BOOL* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = vb(bar_->Visible()); });
    }
    STDMETHODIMP put_Visible(VARIANT_BOOL value) noexcept override {
        return guard([&] { bar_->SetVisible(value != VARIANT_FALSE); });
    }

protected:
    ~BarObject() override = default;

private:
    std::shared_ptr<host::CommandBar> bar_;
};

class ControlsObject final : public com::ComObject<DispatchImpl<CommandBarControls>>, public Tracked {
public:
    ControlsObject(std::shared_ptr<FaceState> s, const void* node, int kind,
                   std::shared_ptr<host::CommandBarControls> controls)
        : Tracked(std::move(s), node, kind), controls_(std::move(controls)) {}

    STDMETHODIMP Add(VARIANT type, VARIANT id, VARIANT parameter, VARIANT before, VARIANT temporary,
                     CommandBarControl** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            auto control = controls_->Add(optLong(type), optLong(id), optText(parameter), optLong(before),
                                          optBool(temporary));
            auto object = wrapButton(state_, std::move(control));
            *out = object.try_query<CommandBarControl>().detach();
        });
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = controls_->Count(); });
    }
    STDMETHODIMP get_Item(VARIANT, CommandBarControl** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;  // the model's bars are reached by FindControl and Add only
    }

protected:
    ~ControlsObject() override = default;

private:
    std::shared_ptr<host::CommandBarControls> controls_;
};

STDMETHODIMP BarObject::get_Controls(CommandBarControls** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return guard([&] {
        auto controls = bar_->Controls();
        if (!controls) return;  // the model answered Nothing
        auto node = NodeOf(*controls);
        handOut(obtain<ControlsObject>(state_, node.get(), kControls, std::move(controls)), out);
    });
}

class ButtonObject final : public com::ComObject<DispatchImpl<_CommandBarButton>, IConnectionPointContainer,
                                                 IProvideClassInfo>,
                           public Tracked,
                           private host::ButtonEvents {
public:
    ButtonObject(std::shared_ptr<FaceState> s, const void* node, int kind,
                 std::shared_ptr<host::CommandBarButton> button)
        : Tracked(std::move(s), node, kind),
          button_(std::move(button)),
          click_(*this, __uuidof(_CommandBarButtonEvents),
                 [this] { return button_->Subscribe(static_cast<host::ButtonEvents&>(*this)); }) {}

    // Version 9 buttons have no Picture or Mask: late binding fails by name, as with that library.
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override {
        if (!state_->options.buttonPictures && names && count > 0 &&
            (lstrcmpiW(names[0], L"Picture") == 0 || lstrcmpiW(names[0], L"Mask") == 0)) {
            for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        return DispatchImpl<_CommandBarButton>::GetIDsOfNames(iid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override {
        if (!state_->options.buttonPictures && (id == 0x6005000E || id == 0x60050010)) return DISP_E_MEMBERNOTFOUND;
        return DispatchImpl<_CommandBarButton>::Invoke(id, iid, lcid, flags, params, result, exception, argError);
    }

    STDMETHODIMP get_Caption(BSTR* out) noexcept override { return text(out, [&] { return button_->Caption(); }); }
    STDMETHODIMP put_Caption(BSTR v) noexcept override {
        return guard([&] { button_->SetCaption(com::fromBstr(v)); });
    }
    STDMETHODIMP Delete(VARIANT temporary) noexcept override {
        return guard([&] { button_->Delete(optBool(temporary)); });
    }
    STDMETHODIMP get_Enabled(VARIANT_BOOL* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = vb(button_->Enabled()); });
    }
    STDMETHODIMP put_Enabled(VARIANT_BOOL v) noexcept override {
        return guard([&] { button_->SetEnabled(v != VARIANT_FALSE); });
    }
    STDMETHODIMP get_Id(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 1;  // a custom button
        return S_OK;
    }
    STDMETHODIMP get_OnAction(BSTR* out) noexcept override { return text(out, [&] { return button_->OnAction(); }); }
    STDMETHODIMP put_OnAction(BSTR v) noexcept override {
        return guard([&] { button_->SetOnAction(com::fromBstr(v)); });
    }
    STDMETHODIMP get_Parent(CommandBar** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { *out = wrapBar(state_, button_->Parent()).try_query<CommandBar>().detach(); });
    }
    STDMETHODIMP get_Tag(BSTR* out) noexcept override { return text(out, [&] { return button_->Tag(); }); }
    STDMETHODIMP put_Tag(BSTR v) noexcept override {
        return guard([&] { button_->SetTag(com::fromBstr(v)); });
    }
    STDMETHODIMP get_Type(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = host::msoControlButton;
        return S_OK;
    }
    STDMETHODIMP get_FaceId(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = button_->FaceId(); });
    }
    STDMETHODIMP put_FaceId(LONG v) noexcept override {
        return guard([&] { button_->SetFaceId(v); });
    }
    STDMETHODIMP get_Style(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = button_->Style(); });
    }
    STDMETHODIMP put_Style(LONG v) noexcept override {
        return guard([&] { button_->SetStyle(v); });
    }
    // The host copies the image and keeps no reference to the add-in's picture object.
    STDMETHODIMP get_Picture(IPictureDisp** out) noexcept override { return noPicture(out); }
    STDMETHODIMP put_Picture(IPictureDisp* v) noexcept override {
        return guard([&] { button_->SetPicture(describe(v)); });
    }
    STDMETHODIMP putref_Picture(IPictureDisp* v) noexcept override { return put_Picture(v); }
    STDMETHODIMP get_Mask(IPictureDisp** out) noexcept override { return noPicture(out); }
    STDMETHODIMP put_Mask(IPictureDisp* v) noexcept override {
        return guard([&] { button_->SetMask(describe(v)); });
    }
    STDMETHODIMP putref_Mask(IPictureDisp* v) noexcept override { return put_Mask(v); }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return findPoint({&click_}, iid, out);
    }
    STDMETHODIMP GetClassInfo(ITypeInfo** out) noexcept override {
        return classInfo(__uuidof(CommandBarButton), out);
    }

protected:
    ~ButtonObject() override { click_.clear(); }
    void* queryOther(REFIID iid) noexcept override {
        return iid == __uuidof(CommandBarControl) ? static_cast<CommandBarControl*>(this) : nullptr;
    }

private:
    template <class Get>
    HRESULT text(BSTR* out, Get get) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, get()); });
    }
    static HRESULT noPicture(IPictureDisp** out) noexcept {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    std::shared_ptr<host::Picture> describe(IPictureDisp* picture) {
        if (!picture) return nullptr;
        auto entry = std::make_shared<PictureEntry>();
        entry->text = DescribePicture(picture);
        state_->pictures.push_back(entry);
        return entry;
    }
    void Click(const std::shared_ptr<host::CommandBarButton>& ctrl, bool& cancelDefault) override {
        const size_t sinks = click_.connections();
        VARIANT_BOOL cancel = vb(cancelDefault);
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(wrapButton(state_, ctrl).get())),
                               com::Variant::byRef(&cancel)};
        VARIANT raw[] = {*args[0].get(), *args[1].get()};
        click_.fire(1, raw);
        cancelDefault = cancel != VARIANT_FALSE;
        state_->event(u"Click sinks=" + com::fromWide(std::to_wstring(sinks)) +
                      u" canceldefault=" + (cancelDefault ? u"true" : u"false"));
    }

    std::shared_ptr<host::CommandBarButton> button_;
    EventPoint click_;
};

ComPtr<IDispatch> wrapButton(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBarControl> control) {
    if (!control) return {};
    auto button = std::dynamic_pointer_cast<host::CommandBarButton>(control);
    if (!button) throw HostError(HostStatus::NoInterface, u"Only buttons are modelled");
    auto node = NodeOf(*button);
    return obtain<ButtonObject>(state, node.get(), kButton, std::move(button));
}

ComPtr<IDispatch> wrapBar(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBar> bar) {
    if (!bar) return {};
    auto node = NodeOf(*bar);
    return obtain<BarObject>(state, node.get(), kBar, std::move(bar));
}

// ---- the ribbon (version 12 and later)

class RibbonUIObject final : public com::ComObject<DispatchImpl<IRibbonUI>>, public Tracked {
public:
    RibbonUIObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::RibbonUI> ribbon)
        : Tracked(std::move(s), node, kind), ribbon_(std::move(ribbon)) {}

    STDMETHODIMP Invalidate() noexcept override {
        return guard([&] { ribbon_->Invalidate(); });
    }
    STDMETHODIMP InvalidateControl(BSTR controlId) noexcept override {
        return guard([&] { ribbon_->InvalidateControl(com::fromBstr(controlId)); });
    }

protected:
    ~RibbonUIObject() override = default;

private:
    std::shared_ptr<host::RibbonUI> ribbon_;
};

class RibbonControlObject final : public com::ComObject<DispatchImpl<IRibbonControl>>, public Tracked {
public:
    RibbonControlObject(std::shared_ptr<FaceState> s, const void* node, int kind,
                        std::shared_ptr<host::RibbonControl> control)
        : Tracked(std::move(s), node, kind), control_(std::move(control)) {}

    STDMETHODIMP get_Id(BSTR* out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, control_->Id()); });
    }
    // The window the control lives in: the model's ribbon shows controls in item windows only.
    STDMETHODIMP get_Context(IDispatch** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { handOut(wrapInspector(state_, control_->Context()), out); });
    }
    STDMETHODIMP get_Tag(BSTR* out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, control_->Tag()); });
    }

protected:
    ~RibbonControlObject() override = default;

private:
    std::shared_ptr<host::RibbonControl> control_;
};

class BarsObject final : public com::ComObject<DispatchImpl<_CommandBars>>, public Tracked {
public:
    BarsObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::CommandBars> bars)
        : Tracked(std::move(s), node, kind), bars_(std::move(bars)) {}

    STDMETHODIMP Add(VARIANT name, VARIANT position, VARIANT menuBar, VARIANT temporary,
                     CommandBar** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            auto bar = bars_->Add(optText(name), optLong(position), optBool(menuBar), optBool(temporary));
            *out = wrapBar(state_, std::move(bar)).try_query<CommandBar>().detach();
        });
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT visible, IDispatch** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            handOut(wrapButton(state_, bars_->FindControl(optLong(type), optLong(id), optText(tag), optBool(visible))),
                    out);
        });
    }
    STDMETHODIMP get_Item(VARIANT, CommandBar** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

protected:
    ~BarsObject() override = default;

private:
    std::shared_ptr<host::CommandBars> bars_;
};

// ---- items

class AttachmentObject final : public com::ComObject<DispatchImpl<::Attachment>>, public Tracked {
public:
    AttachmentObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Attachment> a,
                     std::shared_ptr<ItemNode> item)
        : Tracked(std::move(s), node, kind), attachment_(std::move(a)), item_(std::move(item)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 5;  // olAttachment
        return S_OK;
    }
    STDMETHODIMP get_Parent(IDispatch** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { handOut(wrapItem(state_, state_->host->ItemObject(item_)), out); });
    }
    STDMETHODIMP get_DisplayName(BSTR* out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, attachment_->DisplayName()); });
    }
    STDMETHODIMP put_DisplayName(BSTR v) noexcept override {
        return guard([&] { attachment_->SetDisplayName(com::fromBstr(v)); });
    }
    STDMETHODIMP get_FileName(BSTR* out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, attachment_->FileName()); });
    }
    STDMETHODIMP get_Index(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 0;
        const auto& list = item_->attachments;
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].get() == key_.first) *out = static_cast<LONG>(i + 1);
        return *out ? S_OK : HostStatus::Fail;
    }
    STDMETHODIMP get_Type(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = attachment_->Type(); });
    }
    STDMETHODIMP SaveAsFile(BSTR path) noexcept override {
        return guard([&] { attachment_->SaveAsFile(com::fromBstr(path)); });
    }
    STDMETHODIMP Delete() noexcept override {
        return guard([&] { attachment_->Delete(); });
    }

protected:
    ~AttachmentObject() override = default;

private:
    std::shared_ptr<host::Attachment> attachment_;
    std::shared_ptr<ItemNode> item_;
};

ComPtr<AttachmentObject> wrapAttachment(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Attachment> a,
                                        const std::shared_ptr<ItemNode>& item) {
    if (!a) return {};
    auto node = NodeOf(*a);
    return obtain<AttachmentObject>(state, node.get(), kAttachment, std::move(a), item);
}

class AttachmentsObject final : public com::ComObject<DispatchImpl<::Attachments>>, public Tracked {
public:
    AttachmentsObject(std::shared_ptr<FaceState> s, const void* node, int kind,
                      std::shared_ptr<host::Attachments> list, std::shared_ptr<ItemNode> item)
        : Tracked(std::move(s), node, kind), list_(std::move(list)), item_(std::move(item)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 18;  // olAttachments
        return S_OK;
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = list_->Count(); });
    }
    STDMETHODIMP Item(VARIANT index, ::Attachment** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { handOut(wrapAttachment(state_, list_->Item(copyOf(index).toLong()), item_), out); });
    }
    STDMETHODIMP Add(VARIANT source, VARIANT type, VARIANT position, VARIANT displayName,
                     ::Attachment** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            auto added = list_->Add(copyOf(source).toString(), optLong(type), optLong(position), optText(displayName));
            handOut(wrapAttachment(state_, std::move(added), item_), out);
        });
    }

protected:
    ~AttachmentsObject() override = default;

private:
    std::shared_ptr<host::Attachments> list_;
    std::shared_ptr<ItemNode> item_;
};

/// The item classes differ only in their interface (and so in the members they offer); the
/// members an interface lacks are never reached.
template <class Interface, ItemKind K>
class ItemObject final : public com::ComObject<DispatchImpl<Interface>, IProvideClassInfo>, public Tracked {
public:
    ItemObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Item> item,
               std::shared_ptr<ItemNode> itemNode, const CLSID& clsid, int32_t olClass)
        : Tracked(std::move(s), node, kind),
          item_(std::move(item)),
          node_(std::move(itemNode)),
          clsid_(clsid),
          class_(olClass) {}

    STDMETHODIMP get_Class(LONG* out) noexcept {
        if (!out) return E_POINTER;
        *out = class_;
        return S_OK;
    }
    STDMETHODIMP get_Subject(BSTR* out) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, node_->subject); });
    }
    STDMETHODIMP get_Attachments(::Attachments** out) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            auto list = item_->Attachments();
            if (!list) return;  // the model answered Nothing
            handOut(obtain<AttachmentsObject>(state_, node_.get(), kAttachments, std::move(list), node_), out);
        });
    }
    STDMETHODIMP get_Saved(VARIANT_BOOL* out) noexcept {
        if (!out) return E_POINTER;
        return guard([&] { *out = vb(item_->Saved()); });
    }
    STDMETHODIMP Save() noexcept {
        return guard([&] { item_->Save(); });
    }
    STDMETHODIMP get_Sent(VARIANT_BOOL* out) noexcept {
        if (!out) return E_POINTER;
        return guard([&] { *out = vb(item_->Sent()); });
    }
    STDMETHODIMP get_SenderName(BSTR* out) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, item_->SenderName()); });
    }
    STDMETHODIMP get_SentOn(DATE* out) noexcept {
        if (!out) return E_POINTER;
        return guard([&] {
            const host::DateTime t = item_->SentOn();
            SYSTEMTIME st{static_cast<WORD>(t.year), static_cast<WORD>(t.month), 0, static_cast<WORD>(t.day),
                          static_cast<WORD>(t.hour), static_cast<WORD>(t.minute), static_cast<WORD>(t.second), 0};
            if (!SystemTimeToVariantTime(&st, out)) throw HostError(DISP_E_OVERFLOW, u"Invalid date");
        });
    }
    STDMETHODIMP GetClassInfo(ITypeInfo** out) noexcept override { return classInfo(clsid_, out); }

protected:
    ~ItemObject() override = default;

private:
    std::shared_ptr<host::Item> item_;
    std::shared_ptr<ItemNode> node_;
    CLSID clsid_;
    int32_t class_;
};

template <class Interface, ItemKind K>
ComPtr<IDispatch> makeItem(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Item> item,
                           const std::shared_ptr<ItemNode>& node, const CLSID& clsid, int32_t olClass) {
    return obtain<ItemObject<Interface, K>>(state, node.get(), kItem + static_cast<int>(K), std::move(item), node,
                                            clsid, olClass);
}

ComPtr<IDispatch> wrapItem(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Item> item) {
    if (!item) return {};
    auto node = std::static_pointer_cast<ItemNode>(NodeOf(*item));
    if (!node) throw HostError(HostStatus::Unexpected, u"Not an item of this host");
    switch (node->kind) {
        case ItemKind::Mail: return makeItem<_MailItem, ItemKind::Mail>(state, item, node, __uuidof(MailItem), 43);
        case ItemKind::Post: return makeItem<_PostItem, ItemKind::Post>(state, item, node, __uuidof(PostItem), 45);
        case ItemKind::Note: return makeItem<_NoteItem, ItemKind::Note>(state, item, node, __uuidof(NoteItem), 44);
        case ItemKind::Appointment:
            return makeItem<_AppointmentItem, ItemKind::Appointment>(state, item, node, __uuidof(AppointmentItem), 26);
        case ItemKind::Contact:
            return makeItem<_ContactItem, ItemKind::Contact>(state, item, node, __uuidof(ContactItem), 40);
        case ItemKind::Task: return makeItem<_TaskItem, ItemKind::Task>(state, item, node, __uuidof(TaskItem), 48);
        case ItemKind::Meeting:
            return makeItem<_MeetingItem, ItemKind::Meeting>(state, item, node, __uuidof(MeetingItem), 53);
        case ItemKind::Report:
            return makeItem<_ReportItem, ItemKind::Report>(state, item, node, __uuidof(ReportItem), 46);
    }
    throw HostError(HostStatus::Unexpected, u"Unknown item kind");
}

// ---- windows, pages and the application

class InspectorObject final : public com::ComObject<DispatchImpl<_Inspector>>, public Tracked {
public:
    InspectorObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Inspector> i)
        : Tracked(std::move(s), node, kind), inspector_(std::move(i)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 35;  // olInspector
        return S_OK;
    }
    STDMETHODIMP get_CommandBars(_CommandBars** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            auto bars = inspector_->CommandBars();
            if (!bars) return;  // the model answered Nothing
            auto node = NodeOf(*bars);
            handOut(obtain<BarsObject>(state_, node.get(), kBars, std::move(bars)), out);
        });
    }
    STDMETHODIMP get_CurrentItem(IDispatch** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { handOut(wrapItem(state_, inspector_->CurrentItem()), out); });
    }
    STDMETHODIMP IsWordMail(VARIANT_BOOL* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = vb(inspector_->IsWordMail()); });
    }

protected:
    ~InspectorObject() override = default;

private:
    std::shared_ptr<host::Inspector> inspector_;
};

ComPtr<IDispatch> wrapInspector(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Inspector> inspector) {
    if (!inspector) return {};
    auto node = NodeOf(*inspector);
    return obtain<InspectorObject>(state, node.get(), kInspector, std::move(inspector));
}

class InspectorsObject final : public com::ComObject<DispatchImpl<_Inspectors>, IConnectionPointContainer>,
                               public Tracked,
                               private host::InspectorsEvents {
public:
    InspectorsObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Inspectors> list)
        : Tracked(std::move(s), node, kind),
          list_(std::move(list)),
          events_(*this, __uuidof(::InspectorsEvents),
                  [this] { return list_->Subscribe(static_cast<host::InspectorsEvents&>(*this)); }) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 56;  // olInspectors
        return S_OK;
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = list_->Count(); });
    }
    STDMETHODIMP Item(VARIANT index, _Inspector** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { *out = wrapInspector(state_, list_->Item(copyOf(index).toLong())).try_query<_Inspector>().detach(); });
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return findPoint({&events_}, iid, out);
    }

protected:
    ~InspectorsObject() override { events_.clear(); }

private:
    void NewInspector(const std::shared_ptr<host::Inspector>& inspector) override {
        const size_t sinks = events_.connections();
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(wrapInspector(state_, inspector).get()))};
        VARIANT raw[] = {*args[0].get()};
        events_.fire(61441, raw);
        state_->event(u"NewInspector sinks=" + com::fromWide(std::to_wstring(sinks)));
    }

    std::shared_ptr<host::Inspectors> list_;
    EventPoint events_;
};

class ExplorerObject final : public com::ComObject<DispatchImpl<_Explorer>, IConnectionPointContainer>,
                             public Tracked,
                             private host::ExplorerEvents {
public:
    ExplorerObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Explorer> e)
        : Tracked(std::move(s), node, kind),
          explorer_(std::move(e)),
          events_(*this, __uuidof(::ExplorerEvents),
                  [this] { return explorer_->Subscribe(static_cast<host::ExplorerEvents&>(*this)); }) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 34;  // olExplorer
        return S_OK;
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return findPoint({&events_}, iid, out);
    }

protected:
    ~ExplorerObject() override { events_.clear(); }

private:
    void Close() override { raise(61448, u"Close"); }
    void SelectionChange() override { raise(61447, u"SelectionChange"); }
    void raise(DISPID id, const std::u16string& name) {
        const size_t sinks = events_.connections();
        events_.fire(id, {});
        state_->event(name + u" sinks=" + com::fromWide(std::to_wstring(sinks)));
    }

    std::shared_ptr<host::Explorer> explorer_;
    EventPoint events_;
};

ComPtr<IDispatch> wrapExplorer(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Explorer> explorer) {
    if (!explorer) return {};
    auto node = NodeOf(*explorer);
    return obtain<ExplorerObject>(state, node.get(), kExplorer, std::move(explorer));
}

class ExplorersObject final : public com::ComObject<DispatchImpl<_Explorers>>, public Tracked {
public:
    ExplorersObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Explorers> list)
        : Tracked(std::move(s), node, kind), list_(std::move(list)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 60;  // olExplorers
        return S_OK;
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        return guard([&] { *out = list_->Count(); });
    }
    STDMETHODIMP Item(VARIANT index, _Explorer** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            const int32_t i = copyOf(index).toLong();
            const auto& open = state_->host->Explorers();
            if (i < 1 || i > static_cast<int32_t>(open.size()))
                throw HostError(HostStatus::InvalidArg, u"Array index out of bounds.");
            auto explorer = state_->host->ExplorerObject(open[static_cast<size_t>(i - 1)]);
            *out = wrapExplorer(state_, std::move(explorer)).query<_Explorer>().detach();
        });
    }

protected:
    ~ExplorersObject() override = default;

private:
    std::shared_ptr<host::Explorers> list_;
};

class PagesObject final : public com::ComObject<DispatchImpl<::PropertyPages>>, public Tracked {
public:
    PagesObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::PropertyPages> pages)
        : Tracked(std::move(s), node, kind), pages_(std::move(pages)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 71;  // olPropertyPages
        return S_OK;
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP Item(VARIANT, IDispatch** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP Add(VARIANT page, VARIANT title) noexcept override {
        return guard([&] {
            // A page object (rather than a ProgID) is recorded by kind only.
            const com::Variant p = copyOf(page);
            const std::u16string name = p.type() == VT_BSTR ? p.toString() : u"(page object)";
            pages_->Add(name, optText(title));
        });
    }

protected:
    ~PagesObject() override = default;

private:
    std::shared_ptr<host::PropertyPages> pages_;
};

class ApplicationObject final
    : public com::ComObject<DispatchImpl<_Application>, IConnectionPointContainer, IProvideClassInfo>,
      public Tracked,
      private host::ApplicationEvents {
public:
    ApplicationObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Application> a)
        : Tracked(std::move(s), node, kind),
          app_(std::move(a)),
          events_(*this, __uuidof(::ApplicationEvents),
                  [this] { return app_->Subscribe(static_cast<host::ApplicationEvents&>(*this)); }) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 0;  // olApplication
        return S_OK;
    }
    STDMETHODIMP get_Version(BSTR* out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, app_->Version()); });
    }
    STDMETHODIMP ActiveExplorer(_Explorer** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            if (auto e = wrapExplorer(state_, app_->ActiveExplorer())) *out = e.query<_Explorer>().detach();
        });
    }
    STDMETHODIMP ActiveInspector(_Inspector** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            if (auto i = wrapInspector(state_, app_->ActiveInspector())) *out = i.query<_Inspector>().detach();
        });
    }
    STDMETHODIMP get_Explorers(_Explorers** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            auto list = app_->Explorers();
            if (!list) return;  // the model answered Nothing
            auto node = NodeOf(*list);
            handOut(obtain<ExplorersObject>(state_, node.get(), kExplorers, std::move(list)), out);
        });
    }
    STDMETHODIMP get_Inspectors(_Inspectors** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] {
            auto list = app_->Inspectors();
            if (!list) return;  // the model answered Nothing
            auto node = NodeOf(*list);
            handOut(obtain<InspectorsObject>(state_, node.get(), kInspectors, std::move(list)), out);
        });
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return findPoint({&events_}, iid, out);
    }
    STDMETHODIMP GetClassInfo(ITypeInfo** out) noexcept override { return classInfo(__uuidof(::Application), out); }

protected:
    ~ApplicationObject() override { events_.clear(); }

private:
    void ItemSend(const std::shared_ptr<host::Item>& item, bool& cancel) override {
        const size_t sinks = events_.connections();
        VARIANT_BOOL flag = vb(cancel);
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(wrapItem(state_, item).get())),
                               com::Variant::byRef(&flag)};
        VARIANT raw[] = {*args[0].get(), *args[1].get()};
        events_.fire(61442, raw);
        cancel = flag != VARIANT_FALSE;
        state_->event(u"ItemSend sinks=" + com::fromWide(std::to_wstring(sinks)) + u" cancel=" +
                      (cancel ? u"true" : u"false"));
    }
    void OptionsPagesAdd(const std::shared_ptr<host::PropertyPages>& pages) override {
        const size_t sinks = events_.connections();
        auto node = NodeOf(*pages);
        auto object = obtain<PagesObject>(state_, node.get(), kPages, pages);
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(object.get()))};
        object.reset();
        VARIANT raw[] = {*args[0].get()};
        events_.fire(61445, raw);
        state_->event(u"OptionsPagesAdd sinks=" + com::fromWide(std::to_wstring(sinks)));
    }

    std::shared_ptr<host::Application> app_;
    EventPoint events_;
};

class AddInObject final : public com::ComObject<DispatchImpl<COMAddIn>>, public Tracked {
public:
    AddInObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::AddInInstance> a)
        : Tracked(std::move(s), node, kind), addIn_(std::move(a)) {}

    STDMETHODIMP get_Description(BSTR* out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return S_OK;
    }
    STDMETHODIMP put_Description(BSTR) noexcept override { return S_OK; }
    STDMETHODIMP get_ProgId(BSTR* out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return guard([&] { setText(out, addIn_->ProgId()); });
    }

protected:
    ~AddInObject() override = default;

private:
    std::shared_ptr<host::AddInInstance> addIn_;
};

}  // namespace

Face::Face(std::shared_ptr<Host> host, HostOptions options) : state_(std::make_shared<FaceState>()) {
    state_->host = std::move(host);
    state_->options = std::move(options);
}

Face::~Face() = default;

com::ComPtr<IDispatch> Face::Application() {
    auto app = state_->host->Application();
    auto node = NodeOf(*app);
    return obtain<ApplicationObject>(state_, node.get(), kApplication, std::move(app));
}

com::ComPtr<IDispatch> Face::AddIn(std::u16string progId) {
    auto addIn = state_->host->AddInInstance(std::move(progId));
    auto node = NodeOf(*addIn);
    return obtain<AddInObject>(state_, node.get(), kAddIn, std::move(addIn));
}

com::ComPtr<IDispatch> Face::RibbonUI(std::shared_ptr<host::RibbonUI> ribbon) {
    auto node = NodeOf(*ribbon);
    return obtain<RibbonUIObject>(state_, node.get(), kRibbonUI, std::move(ribbon));
}

com::ComPtr<IDispatch> Face::RibbonControl(std::shared_ptr<host::RibbonControl> control) {
    auto node = NodeOf(*control);
    return obtain<RibbonControlObject>(state_, node.get(), kRibbonControl, std::move(control));
}

void Face::OnEvent(std::function<void(const std::u16string&)> log) { state_->log = std::move(log); }

std::u16string Face::PictureText(const void* identity) const {
    for (const auto& p : state_->pictures)
        if (static_cast<const host::Picture*>(p.get()) == identity) return p->text;
    return {};
}

size_t Face::LiveObjects() const { return state_->live; }

std::u16string DescribePicture(IUnknown* object) {
    if (!object) return u"none";
    ComPtr<IPicture> picture;
    if (FAILED(object->QueryInterface(IID_IPicture, picture.put_void())) || !picture) return u"picture";
    SHORT type = 0;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    if (FAILED(picture->get_Type(&type)) || FAILED(picture->get_Width(&width)) || FAILED(picture->get_Height(&height)))
        return u"picture";
    std::string text = (type == PICTYPE_BITMAP ? "bitmap " : "picture ") + std::to_string(MulDiv(width, 96, 2540)) +
                       "x" + std::to_string(MulDiv(height, 96, 2540));
    // A 32-bit bitmap carries its transparency in the alpha channel: say how much of it is clear.
    OLE_HANDLE handle = 0;
    DIBSECTION dib{};
    if (type == PICTYPE_BITMAP && SUCCEEDED(picture->get_Handle(&handle)) &&
        GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof dib, &dib) == sizeof dib &&
        dib.dsBm.bmBitsPixel == 32 && dib.dsBm.bmBits) {
        size_t clear = 0, opaque = 0, partial = 0;
        const auto* row = static_cast<const BYTE*>(dib.dsBm.bmBits);
        for (LONG y = 0; y < dib.dsBm.bmHeight; ++y, row += dib.dsBm.bmWidthBytes)
            for (LONG x = 0; x < dib.dsBm.bmWidth; ++x) {
                const BYTE alpha = row[x * 4 + 3];
                (alpha == 0 ? clear : alpha == 255 ? opaque : partial) += 1;
            }
        text += " 32-bit alpha clear=" + std::to_string(clear) + " opaque=" + std::to_string(opaque) +
                " partial=" + std::to_string(partial);
    }
    return {text.begin(), text.end()};
}

}  // namespace standin::win
