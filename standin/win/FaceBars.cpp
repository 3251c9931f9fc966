// The host's command bars, buttons and ribbon objects as COM objects.
#include "standin/win/FaceObjects.h"

namespace standin::win::face {
namespace {

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
        return com::guardOut(out, [&] { SetText(out, bar_->Name()); });
    }
    STDMETHODIMP put_Name(BSTR) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP get_Position(LONG* out) noexcept override {
        return Answer(out, host::msoBarTop);  // the model keeps bars at the top
    }
    STDMETHODIMP get_Protection(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = bar_->Protection(); });
    }
    STDMETHODIMP put_Protection(LONG value) noexcept override {
        return guard([&] { bar_->SetProtection(value); });
    }
    STDMETHODIMP get_Visible(VARIANT_BOOL* out) noexcept override {
        return com::guardOut(out, [&] { *out = ToVariantBool(bar_->Visible()); });
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
        return com::guardOut(out, [&] {
            auto control = controls_->Add(OptLong(type), OptLong(id), OptText(parameter), OptLong(before),
                                          OptBool(temporary));
            auto object = WrapButton(state_, std::move(control));
            *out = object.tryQuery<CommandBarControl>().detach();
        });
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = controls_->Count(); });
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
    return com::guardOut(out, [&] {
        auto controls = bar_->Controls();
        if (!controls) return;  // the model answered Nothing
        HandOut(WrapNode<ControlsObject>(state_, kControls, std::move(controls)), out);
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

    STDMETHODIMP get_Caption(BSTR* out) noexcept override { return Text(out, [&] { return button_->Caption(); }); }
    STDMETHODIMP put_Caption(BSTR v) noexcept override {
        return guard([&] { button_->SetCaption(com::fromBstr(v)); });
    }
    STDMETHODIMP Delete(VARIANT temporary) noexcept override {
        return guard([&] { button_->Delete(OptBool(temporary)); });
    }
    STDMETHODIMP get_Enabled(VARIANT_BOOL* out) noexcept override {
        return com::guardOut(out, [&] { *out = ToVariantBool(button_->Enabled()); });
    }
    STDMETHODIMP put_Enabled(VARIANT_BOOL v) noexcept override {
        return guard([&] { button_->SetEnabled(v != VARIANT_FALSE); });
    }
    STDMETHODIMP get_Id(LONG* out) noexcept override {
        return Answer(out, 1);  // a custom button
    }
    STDMETHODIMP get_OnAction(BSTR* out) noexcept override { return Text(out, [&] { return button_->OnAction(); }); }
    STDMETHODIMP put_OnAction(BSTR v) noexcept override {
        return guard([&] { button_->SetOnAction(com::fromBstr(v)); });
    }
    STDMETHODIMP get_Parent(CommandBar** out) noexcept override {
        return com::guardOut(out, [&] { *out = WrapBar(state_, button_->Parent()).tryQuery<CommandBar>().detach(); });
    }
    STDMETHODIMP get_Tag(BSTR* out) noexcept override { return Text(out, [&] { return button_->Tag(); }); }
    STDMETHODIMP put_Tag(BSTR v) noexcept override {
        return guard([&] { button_->SetTag(com::fromBstr(v)); });
    }
    STDMETHODIMP get_Type(LONG* out) noexcept override {
        return Answer(out, host::msoControlButton);
    }
    STDMETHODIMP get_FaceId(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = button_->FaceId(); });
    }
    STDMETHODIMP put_FaceId(LONG v) noexcept override {
        return guard([&] { button_->SetFaceId(v); });
    }
    STDMETHODIMP get_Style(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = button_->Style(); });
    }
    STDMETHODIMP put_Style(LONG v) noexcept override {
        return guard([&] { button_->SetStyle(v); });
    }
    // The host copies the image and keeps no reference to the add-in's picture object.
    STDMETHODIMP get_Picture(IPictureDisp** out) noexcept override { return NoPicture(out); }
    STDMETHODIMP put_Picture(IPictureDisp* v) noexcept override {
        return guard([&] { button_->SetPicture(Describe(v)); });
    }
    STDMETHODIMP putref_Picture(IPictureDisp* v) noexcept override { return put_Picture(v); }
    STDMETHODIMP get_Mask(IPictureDisp** out) noexcept override { return NoPicture(out); }
    STDMETHODIMP put_Mask(IPictureDisp* v) noexcept override {
        return guard([&] { button_->SetMask(Describe(v)); });
    }
    STDMETHODIMP putref_Mask(IPictureDisp* v) noexcept override { return put_Mask(v); }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override { return EnumPoints(out); }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return FindPoint({&click_}, iid, out);
    }
    STDMETHODIMP GetClassInfo(ITypeInfo** out) noexcept override {
        return ClassInfo(__uuidof(CommandBarButton), out);
    }

protected:
    ~ButtonObject() override { click_.clear(); }
    void* queryOther(REFIID iid) noexcept override {
        return iid == __uuidof(CommandBarControl) ? static_cast<CommandBarControl*>(this) : nullptr;
    }

private:
    template <class Get>
    HRESULT Text(BSTR* out, Get get) noexcept {
        return com::guardOut(out, [&] { SetText(out, get()); });
    }
    static HRESULT NoPicture(IPictureDisp** out) noexcept {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    std::shared_ptr<host::Picture> Describe(IPictureDisp* picture) {
        if (!picture) return nullptr;
        auto entry = std::make_shared<PictureEntry>();
        entry->text = DescribePicture(picture);
        state_->pictures.push_back(entry);
        return entry;
    }
    void Click(const std::shared_ptr<host::CommandBarButton>& ctrl, bool& cancelDefault) override {
        VARIANT_BOOL cancel = ToVariantBool(cancelDefault);
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(WrapButton(state_, ctrl).get())),
                               com::Variant::byRef(&cancel)};
        VARIANT raw[] = {*args[0].get(), *args[1].get()};
        const size_t sinks = click_.fireCounting(1, raw);
        cancelDefault = cancel != VARIANT_FALSE;
        state_->Fired(u"Click", sinks, cancelDefault ? u" canceldefault=true" : u" canceldefault=false");
    }

    std::shared_ptr<host::CommandBarButton> button_;
    EventPoint click_;
};

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
        return com::guardOut(out, [&] { SetText(out, control_->Id()); });
    }
    // Where the control lives: an item window's inspector, the main window's explorer, or what a
    // context menu was opened on (the selected items, the selected attachments).
    STDMETHODIMP get_Context(IDispatch** out) noexcept override {
        return com::guardOut(out, [&] {
            const host::RibbonContext context = control_->Context();
            if (context.inspector) HandOut(WrapInspector(state_, context.inspector), out);
            else if (context.explorer) HandOut(WrapExplorer(state_, context.explorer), out);
            else if (context.selection) HandOut(WrapSelection(state_, context.selection), out);
            else HandOut(WrapAttachmentSelection(state_, context.attachments), out);
        });
    }
    STDMETHODIMP get_Tag(BSTR* out) noexcept override {
        return com::guardOut(out, [&] { SetText(out, control_->Tag()); });
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
        return com::guardOut(out, [&] {
            auto bar = bars_->Add(OptText(name), OptLong(position), OptBool(menuBar), OptBool(temporary));
            *out = WrapBar(state_, std::move(bar)).tryQuery<CommandBar>().detach();
        });
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        if (!out) return E_POINTER;
        *out = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP FindControl(VARIANT type, VARIANT id, VARIANT tag, VARIANT visible, IDispatch** out) noexcept override {
        return com::guardOut(out, [&] {
            HandOut(WrapButton(state_, bars_->FindControl(OptLong(type), OptLong(id), OptText(tag), OptBool(visible))),
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

}  // namespace

ComPtr<IDispatch> WrapButton(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBarControl> control) {
    if (!control) return {};
    auto button = std::dynamic_pointer_cast<host::CommandBarButton>(control);
    if (!button) throw HostError(HostStatus::NoInterface, u"Only buttons are modelled");
    return WrapNode<ButtonObject>(state, kButton, std::move(button));
}

ComPtr<IDispatch> WrapBar(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBar> bar) {
    return WrapNode<BarObject>(state, kBar, std::move(bar));
}

ComPtr<IDispatch> WrapBars(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::CommandBars> bars) {
    return WrapNode<BarsObject>(state, kBars, std::move(bars));
}

ComPtr<IDispatch> WrapRibbonUI(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::RibbonUI> ribbon) {
    return WrapNode<RibbonUIObject>(state, kRibbonUI, std::move(ribbon));
}

ComPtr<IDispatch> WrapRibbonControl(const std::shared_ptr<FaceState>& state,
                                    std::shared_ptr<host::RibbonControl> control) {
    return WrapNode<RibbonControlObject>(state, kRibbonControl, std::move(control));
}

}  // namespace standin::win::face
