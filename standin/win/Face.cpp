// The host's objects as COM objects. Each class serves IDispatch from the embedded type library
// (DispatchImpl) and forwards to one reference of the in-memory model; the model keeps the rules,
// the ledger and the injected failures. Command bars and the ribbon are in FaceBars.cpp, items in
// FaceItems.cpp; here the windows, the pages, the application and the add-in's COMAddIn.
#include "standin/win/FaceObjects.h"

namespace standin::win {
namespace face {
namespace {

// ---- windows, pages and the application

class InspectorObject final : public com::ComObject<DispatchImpl<_Inspector>>, public Tracked {
public:
    InspectorObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Inspector> i)
        : Tracked(std::move(s), node, kind), inspector_(std::move(i)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        return Answer(out, 35);  // olInspector
    }
    STDMETHODIMP get_CommandBars(_CommandBars** out) noexcept override {
        return com::guardOut(out, [&] {
            auto bars = inspector_->CommandBars();
            if (!bars) return;  // the model answered Nothing
            *out = WrapBars(state_, std::move(bars)).tryQuery<_CommandBars>().detach();
        });
    }
    STDMETHODIMP get_CurrentItem(IDispatch** out) noexcept override {
        return com::guardOut(out, [&] { HandOut(WrapItem(state_, inspector_->CurrentItem()), out); });
    }
    STDMETHODIMP IsWordMail(VARIANT_BOOL* out) noexcept override {
        return com::guardOut(out, [&] { *out = ToVariantBool(inspector_->IsWordMail()); });
    }

protected:
    ~InspectorObject() override = default;

private:
    std::shared_ptr<host::Inspector> inspector_;
};

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
        return Answer(out, 56);  // olInspectors
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = list_->Count(); });
    }
    STDMETHODIMP Item(VARIANT index, _Inspector** out) noexcept override {
        return com::guardOut(out, [&] {
            *out = WrapInspector(state_, list_->Item(CopyOf(index).toLong())).tryQuery<_Inspector>().detach();
        });
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override { return EnumPoints(out); }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return FindPoint({&events_}, iid, out);
    }

protected:
    ~InspectorsObject() override { events_.clear(); }

private:
    void NewInspector(const std::shared_ptr<host::Inspector>& inspector) override {
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(WrapInspector(state_, inspector).get()))};
        VARIANT raw[] = {*args[0].get()};
        state_->Fired(u"NewInspector", events_.fireCounting(61441, raw));
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
        return Answer(out, 34);  // olExplorer
    }
    STDMETHODIMP get_Selection(::Selection** out) noexcept override {
        return com::guardOut(out, [&] {
            if (auto selection = WrapSelection(state_, explorer_->Selection())) *out = selection.query<::Selection>().detach();
        });
    }
    STDMETHODIMP get_AttachmentSelection(::_AttachmentSelection** out) noexcept override {
        return com::guardOut(out, [&] {
            if (auto selection = WrapAttachmentSelection(state_, explorer_->AttachmentSelection()))
                *out = selection.query<::_AttachmentSelection>().detach();
        });
    }
    // Explorers before version 14 have no AttachmentSelection: late binding fails by name, as with
    // that library.
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override {
        if (!Attachments() && names && count > 0 && lstrcmpiW(names[0], L"AttachmentSelection") == 0) {
            for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        return DispatchImpl<_Explorer>::GetIDsOfNames(iid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override {
        if (!Attachments() && id == 64632) return DISP_E_MEMBERNOTFOUND;
        return DispatchImpl<_Explorer>::Invoke(id, iid, lcid, flags, params, result, exception, argError);
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override { return EnumPoints(out); }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return FindPoint({&events_}, iid, out);
    }

protected:
    ~ExplorerObject() override { events_.clear(); }

private:
    bool Attachments() const { return state_->host->options().Major() >= 14; }
    void Close() override { Raise(61448, u"Close"); }
    void SelectionChange() override { Raise(61447, u"SelectionChange"); }
    void Raise(DISPID id, const std::u16string& name) {
        state_->Fired(name, events_.fireCounting(id, {}));
    }

    std::shared_ptr<host::Explorer> explorer_;
    EventPoint events_;
};

class ExplorersObject final : public com::ComObject<DispatchImpl<_Explorers>, IConnectionPointContainer>,
                              public Tracked,
                              private host::ExplorersEvents {
public:
    ExplorersObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Explorers> list)
        : Tracked(std::move(s), node, kind),
          list_(std::move(list)),
          events_(*this, __uuidof(::ExplorersEvents),
                  [this] { return list_->Subscribe(static_cast<host::ExplorersEvents&>(*this)); }) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        return Answer(out, 60);  // olExplorers
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = list_->Count(); });
    }
    STDMETHODIMP Item(VARIANT index, _Explorer** out) noexcept override {
        return com::guardOut(out, [&] {
            *out = WrapExplorer(state_, list_->Item(CopyOf(index).toLong())).tryQuery<_Explorer>().detach();
        });
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override { return EnumPoints(out); }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return FindPoint({&events_}, iid, out);
    }

protected:
    ~ExplorersObject() override { events_.clear(); }

private:
    void NewExplorer(const std::shared_ptr<host::Explorer>& explorer) override {
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(WrapExplorer(state_, explorer).get()))};
        VARIANT raw[] = {*args[0].get()};
        state_->Fired(u"NewExplorer", events_.fireCounting(61441, raw));
    }

    std::shared_ptr<host::Explorers> list_;
    EventPoint events_;
};

class PagesObject final : public com::ComObject<DispatchImpl<::PropertyPages>>, public Tracked {
public:
    PagesObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::PropertyPages> pages)
        : Tracked(std::move(s), node, kind), pages_(std::move(pages)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        return Answer(out, 71);  // olPropertyPages
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
            const com::Variant p = CopyOf(page);
            const std::u16string name = p.type() == VT_BSTR ? p.toString() : u"(page object)";
            pages_->Add(name, OptText(title));
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
        return Answer(out, 0);  // olApplication
    }
    STDMETHODIMP get_Version(BSTR* out) noexcept override {
        return com::guardOut(out, [&] { SetText(out, app_->Version()); });
    }
    STDMETHODIMP ActiveExplorer(_Explorer** out) noexcept override {
        return com::guardOut(out, [&] {
            if (auto e = WrapExplorer(state_, app_->ActiveExplorer())) *out = e.query<_Explorer>().detach();
        });
    }
    STDMETHODIMP ActiveInspector(_Inspector** out) noexcept override {
        return com::guardOut(out, [&] {
            if (auto i = WrapInspector(state_, app_->ActiveInspector())) *out = i.query<_Inspector>().detach();
        });
    }
    STDMETHODIMP get_Explorers(_Explorers** out) noexcept override {
        return com::guardOut(out, [&] {
            auto list = app_->Explorers();
            if (!list) return;  // the model answered Nothing
            HandOut(WrapNode<ExplorersObject>(state_, kExplorers, std::move(list)), out);
        });
    }
    STDMETHODIMP get_Inspectors(_Inspectors** out) noexcept override {
        return com::guardOut(out, [&] {
            auto list = app_->Inspectors();
            if (!list) return;  // the model answered Nothing
            HandOut(WrapNode<InspectorsObject>(state_, kInspectors, std::move(list)), out);
        });
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override { return EnumPoints(out); }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override {
        return FindPoint({&events_}, iid, out);
    }
    STDMETHODIMP GetClassInfo(ITypeInfo** out) noexcept override { return ClassInfo(__uuidof(::Application), out); }

protected:
    ~ApplicationObject() override { events_.clear(); }

private:
    void ItemSend(const std::shared_ptr<host::Item>& item, bool& cancel) override {
        VARIANT_BOOL flag = ToVariantBool(cancel);
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(WrapItem(state_, item).get())),
                               com::Variant::byRef(&flag)};
        VARIANT raw[] = {*args[0].get(), *args[1].get()};
        const size_t sinks = events_.fireCounting(61442, raw);
        cancel = flag != VARIANT_FALSE;
        state_->Fired(u"ItemSend", sinks, cancel ? u" cancel=true" : u" cancel=false");
    }
    void OptionsPagesAdd(const std::shared_ptr<host::PropertyPages>& pages) override {
        auto node = NodeOf(*pages);
        auto object = Obtain<PagesObject>(state_, node.get(), kPages, pages);
        com::Variant args[] = {com::Variant(static_cast<IDispatch*>(object.get()))};
        object.reset();
        VARIANT raw[] = {*args[0].get()};
        state_->Fired(u"OptionsPagesAdd", events_.fireCounting(61445, raw));
    }

    std::shared_ptr<host::Application> app_;
    EventPoint events_;
};

class AddInObject final : public com::ComObject<DispatchImpl<COMAddIn>>, public Tracked {
public:
    AddInObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::AddInInstance> a)
        : Tracked(std::move(s), node, kind), addIn_(std::move(a)) {}

    STDMETHODIMP get_Description(BSTR* out) noexcept override {
        return Answer(out, nullptr);
    }
    STDMETHODIMP put_Description(BSTR) noexcept override { return S_OK; }
    STDMETHODIMP get_ProgId(BSTR* out) noexcept override {
        return com::guardOut(out, [&] { SetText(out, addIn_->ProgId()); });
    }

protected:
    ~AddInObject() override = default;

private:
    std::shared_ptr<host::AddInInstance> addIn_;
};

}  // namespace

ComPtr<IDispatch> WrapInspector(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Inspector> inspector) {
    return WrapNode<InspectorObject>(state, kInspector, std::move(inspector));
}

ComPtr<IDispatch> WrapExplorer(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Explorer> explorer) {
    return WrapNode<ExplorerObject>(state, kExplorer, std::move(explorer));
}

}  // namespace face


Face::Face(std::shared_ptr<Host> host, HostOptions options) : state_(std::make_shared<FaceState>()) {
    state_->host = std::move(host);
    state_->options = std::move(options);
}

Face::~Face() = default;

com::ComPtr<IDispatch> Face::Application() {
    auto app = state_->host->Application();
    return face::WrapNode<face::ApplicationObject>(state_, face::kApplication, std::move(app));
}

com::ComPtr<IDispatch> Face::AddIn(std::u16string progId) {
    auto addIn = state_->host->AddInInstance(std::move(progId));
    return face::WrapNode<face::AddInObject>(state_, face::kAddIn, std::move(addIn));
}

com::ComPtr<IDispatch> Face::RibbonUI(std::shared_ptr<host::RibbonUI> ribbon) {
    return face::WrapRibbonUI(state_, std::move(ribbon));
}

com::ComPtr<IDispatch> Face::RibbonControl(std::shared_ptr<host::RibbonControl> control) {
    return face::WrapRibbonControl(state_, std::move(control));
}

void Face::OnEvent(std::function<void(const std::u16string&)> log) { state_->log = std::move(log); }

void Face::AfterWrite(std::function<void()> hook) { state_->afterWrite = std::move(hook); }

std::u16string Face::PictureText(const void* identity) const {
    for (const auto& p : state_->pictures)
        if (static_cast<const host::Picture*>(p.get()) == identity) return p->text;
    return {};
}

size_t Face::LiveObjects() const { return state_->live; }

std::u16string DescribePicture(IUnknown* object) {
    if (!object) return u"none";
    com::ComPtr<IPicture> picture;
    if (FAILED(object->QueryInterface(IID_IPicture, picture.putVoid())) || !picture) return u"picture";
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

