// The host's items and their attachments as COM objects.
#include <type_traits>
#include <variant>

#include "standin/win/FaceObjects.h"

namespace standin::win::face {
namespace {

// ---- items

// The value a script or an add-in set, as the model keeps it: text, a Boolean, or a number (which
// the host would keep in the type given; the model keeps 32 bits).
host::PropertyValue ValueOf(const com::Variant& v) {
    switch (v.type()) {
        case VT_EMPTY:
        case VT_NULL: return std::monostate();
        case VT_BOOL: return v.toBool();
        case VT_BSTR: return v.toString();
        default: return v.toLong();
    }
}

class PropertyAccessorObject final : public com::ComObject<DispatchImpl<::_PropertyAccessor>>, public Tracked {
public:
    PropertyAccessorObject(std::shared_ptr<FaceState> s, const void* node, int kind,
                           std::shared_ptr<host::PropertyAccessor> a)
        : Tracked(std::move(s), node, kind), accessor_(std::move(a)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        return Answer(out, 172);  // olPropertyAccessor
    }
    STDMETHODIMP GetProperty(BSTR name, VARIANT* out) noexcept override {
        if (!out) return E_POINTER;
        VariantInit(out);
        return guard([&] {
            *out = std::visit(
                [](const auto& value) -> VARIANT {
                    using T = std::decay_t<decltype(value)>;
                    if constexpr (std::is_same_v<T, std::monostate>) return com::Variant().release();
                    else return com::Variant(value).release();
                },
                accessor_->GetProperty(com::fromBstr(name)));
        });
    }
    STDMETHODIMP SetProperty(BSTR name, VARIANT value) noexcept override {
        return guard([&] { accessor_->SetProperty(com::fromBstr(name), ValueOf(CopyOf(value))); });
    }
    STDMETHODIMP DeleteProperty(BSTR name) noexcept override {
        return guard([&] { accessor_->DeleteProperty(com::fromBstr(name)); });
    }

protected:
    ~PropertyAccessorObject() override = default;

private:
    std::shared_ptr<host::PropertyAccessor> accessor_;
};

class AttachmentObject final : public com::ComObject<DispatchImpl<::Attachment>>, public Tracked {
public:
    AttachmentObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Attachment> a)
        : Tracked(std::move(s), node, kind), attachment_(std::move(a)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        return Answer(out, 5);  // olAttachment
    }
    STDMETHODIMP get_Parent(IDispatch** out) noexcept override {
        return com::guardOut(out, [&] { HandOut(WrapItem(state_, attachment_->Parent()), out); });
    }
    STDMETHODIMP get_DisplayName(BSTR* out) noexcept override {
        return com::guardOut(out, [&] { SetText(out, attachment_->DisplayName()); });
    }
    STDMETHODIMP put_DisplayName(BSTR v) noexcept override {
        return guard([&] { attachment_->SetDisplayName(com::fromBstr(v)); });
    }
    STDMETHODIMP get_FileName(BSTR* out) noexcept override {
        return com::guardOut(out, [&] { SetText(out, attachment_->FileName()); });
    }
    STDMETHODIMP get_Index(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = attachment_->Index(); });
    }
    STDMETHODIMP get_Type(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = attachment_->Type(); });
    }
    STDMETHODIMP SaveAsFile(BSTR path) noexcept override {
        return guard([&] {
            attachment_->SaveAsFile(com::fromBstr(path));
            if (state_->afterWrite) state_->afterWrite();
        });
    }
    STDMETHODIMP Delete() noexcept override {
        return guard([&] { attachment_->Delete(); });
    }
    STDMETHODIMP get_PathName(BSTR* out) noexcept override {
        return com::guardOut(out, [&] { SetText(out, attachment_->PathName()); });
    }
    STDMETHODIMP get_PropertyAccessor(::_PropertyAccessor** out) noexcept override {
        return com::guardOut(out, [&] {
            HandOut(WrapNode<PropertyAccessorObject>(state_, kPropertyAccessor, attachment_->PropertyAccessor()), out);
        });
    }

protected:
    ~AttachmentObject() override = default;

private:
    std::shared_ptr<host::Attachment> attachment_;
};

ComPtr<AttachmentObject> WrapAttachment(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Attachment> a) {
    return WrapNode<AttachmentObject>(state, kAttachment, std::move(a));
}

class AttachmentsObject final : public com::ComObject<DispatchImpl<::Attachments>>, public Tracked {
public:
    AttachmentsObject(std::shared_ptr<FaceState> s, const void* node, int kind,
                      std::shared_ptr<host::Attachments> list, std::shared_ptr<ItemNode> item)
        : Tracked(std::move(s), node, kind), list_(std::move(list)), item_(std::move(item)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        return Answer(out, 18);  // olAttachments
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = list_->Count(); });
    }
    STDMETHODIMP Item(VARIANT index, ::Attachment** out) noexcept override {
        return com::guardOut(out, [&] {
            HandOut(WrapAttachment(state_, list_->Item(CopyOf(index).toLong())), out);
        });
    }
    STDMETHODIMP Add(VARIANT source, VARIANT type, VARIANT position, VARIANT displayName,
                     ::Attachment** out) noexcept override {
        return com::guardOut(out, [&] {
            auto added = list_->Add(CopyOf(source).toString(), OptLong(type), OptLong(position), OptText(displayName));
            HandOut(WrapAttachment(state_, std::move(added)), out);
        });
    }

protected:
    ~AttachmentsObject() override = default;

private:
    std::shared_ptr<host::Attachments> list_;
    std::shared_ptr<ItemNode> item_;
};

// The selections are what the host took when asked: each request is a new object (keyed by the
// model's object, not by the window), so a selection held from before keeps its own items.
class SelectionObject final : public com::ComObject<DispatchImpl<::Selection>>, public Tracked {
public:
    SelectionObject(std::shared_ptr<FaceState> s, const void* node, int kind, std::shared_ptr<host::Selection> list)
        : Tracked(std::move(s), node, kind), list_(std::move(list)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        return Answer(out, 74);  // olSelection
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = list_->Count(); });
    }
    STDMETHODIMP Item(VARIANT index, IDispatch** out) noexcept override {
        return com::guardOut(out, [&] { HandOut(WrapItem(state_, list_->Item(CopyOf(index).toLong())), out); });
    }

protected:
    ~SelectionObject() override = default;

private:
    std::shared_ptr<host::Selection> list_;
};

class AttachmentSelectionObject final : public com::ComObject<DispatchImpl<::_AttachmentSelection>>, public Tracked {
public:
    AttachmentSelectionObject(std::shared_ptr<FaceState> s, const void* node, int kind,
                              std::shared_ptr<host::AttachmentSelection> list)
        : Tracked(std::move(s), node, kind), list_(std::move(list)) {}

    STDMETHODIMP get_Class(LONG* out) noexcept override {
        return Answer(out, 169);  // olAttachmentSelection
    }
    STDMETHODIMP get_Count(LONG* out) noexcept override {
        return com::guardOut(out, [&] { *out = list_->Count(); });
    }
    STDMETHODIMP Item(VARIANT index, ::Attachment** out) noexcept override {
        return com::guardOut(out, [&] { HandOut(WrapAttachment(state_, list_->Item(CopyOf(index).toLong())), out); });
    }
    STDMETHODIMP get_Location(LONG* out) noexcept override {
        return Answer(out, 4);  // olAttachmentWell: the only place the stand-in selects attachments
    }

protected:
    ~AttachmentSelectionObject() override = default;

private:
    std::shared_ptr<host::AttachmentSelection> list_;
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
        return Answer(out, class_);
    }
    STDMETHODIMP get_Subject(BSTR* out) noexcept {
        return com::guardOut(out, [&] { SetText(out, item_->Subject()); });
    }
    STDMETHODIMP get_Attachments(::Attachments** out) noexcept {
        return com::guardOut(out, [&] {
            auto list = item_->Attachments();
            if (!list) return;  // the model answered Nothing
            HandOut(Obtain<AttachmentsObject>(state_, node_.get(), kAttachments, std::move(list), node_), out);
        });
    }
    STDMETHODIMP get_Saved(VARIANT_BOOL* out) noexcept {
        if (!out) return E_POINTER;
        return guard([&] { *out = ToVariantBool(item_->Saved()); });
    }
    STDMETHODIMP Save() noexcept {
        return guard([&] { item_->Save(); });
    }
    STDMETHODIMP get_Sent(VARIANT_BOOL* out) noexcept {
        if (!out) return E_POINTER;
        return guard([&] { *out = ToVariantBool(item_->Sent()); });
    }
    STDMETHODIMP get_SenderName(BSTR* out) noexcept {
        return com::guardOut(out, [&] { SetText(out, item_->SenderName()); });
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
    STDMETHODIMP get_HTMLBody(BSTR* out) noexcept {
        return com::guardOut(out, [&] { SetText(out, item_->HTMLBody()); });
    }
    STDMETHODIMP put_HTMLBody(BSTR value) noexcept {
        return guard([&] { item_->SetHTMLBody(com::fromBstr(value)); });
    }
    STDMETHODIMP get_BodyFormat(LONG* out) noexcept {
        return com::guardOut(out, [&] { *out = item_->BodyFormat(); });
    }
    STDMETHODIMP get_Body(BSTR* out) noexcept {
        return com::guardOut(out, [&] { SetText(out, item_->Body()); });
    }
    STDMETHODIMP put_Body(BSTR value) noexcept {
        return guard([&] { item_->SetBody(com::fromBstr(value)); });
    }
    STDMETHODIMP get_RTFBody(VARIANT* out) noexcept {
        if (!out) return E_POINTER;
        VariantInit(out);
        return guard([&] { *out = com::Variant::fromBytes(item_->RTFBody()).release(); });
    }
    STDMETHODIMP put_RTFBody(VARIANT value) noexcept {
        return guard([&] { item_->SetRTFBody(CopyOf(value).toBytes()); });
    }
    STDMETHODIMP get_MessageClass(BSTR* out) noexcept {
        return com::guardOut(out, [&] { SetText(out, item_->MessageClass()); });
    }
    STDMETHODIMP get_PropertyAccessor(::_PropertyAccessor** out) noexcept {
        return com::guardOut(out, [&] {
            HandOut(WrapNode<PropertyAccessorObject>(state_, kPropertyAccessor, item_->PropertyAccessor()), out);
        });
    }
    STDMETHODIMP GetClassInfo(ITypeInfo** out) noexcept override { return ClassInfo(clsid_, out); }

protected:
    ~ItemObject() override = default;

private:
    std::shared_ptr<host::Item> item_;
    std::shared_ptr<ItemNode> node_;
    CLSID clsid_;
    int32_t class_;
};

template <class Interface, ItemKind K>
ComPtr<IDispatch> MakeItem(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Item> item,
                           const std::shared_ptr<ItemNode>& node, const CLSID& clsid, int32_t olClass) {
    return Obtain<ItemObject<Interface, K>>(state, node.get(), kItem + static_cast<int>(K), std::move(item), node,
                                            clsid, olClass);
}

}  // namespace

ComPtr<IDispatch> WrapSelection(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Selection> selection) {
    if (!selection) return {};
    const void* key = selection.get();
    return Obtain<SelectionObject>(state, key, kSelection, std::move(selection));
}

ComPtr<IDispatch> WrapAttachmentSelection(const std::shared_ptr<FaceState>& state,
                                          std::shared_ptr<host::AttachmentSelection> selection) {
    if (!selection) return {};
    const void* key = selection.get();
    return Obtain<AttachmentSelectionObject>(state, key, kAttachmentSelection, std::move(selection));
}

ComPtr<IDispatch> WrapItem(const std::shared_ptr<FaceState>& state, std::shared_ptr<host::Item> item) {
    if (!item) return {};
    auto node = std::static_pointer_cast<ItemNode>(NodeOf(*item));
    if (!node) throw HostError(HostStatus::Unexpected, u"Not an item of this host");
    switch (node->kind) {
        case ItemKind::Mail: return MakeItem<_MailItem, ItemKind::Mail>(state, item, node, __uuidof(MailItem), 43);
        case ItemKind::Post: return MakeItem<_PostItem, ItemKind::Post>(state, item, node, __uuidof(PostItem), 45);
        case ItemKind::Note: return MakeItem<_NoteItem, ItemKind::Note>(state, item, node, __uuidof(NoteItem), 44);
        case ItemKind::Appointment:
            return MakeItem<_AppointmentItem, ItemKind::Appointment>(state, item, node, __uuidof(AppointmentItem), 26);
        case ItemKind::Contact:
            return MakeItem<_ContactItem, ItemKind::Contact>(state, item, node, __uuidof(ContactItem), 40);
        case ItemKind::Task: return MakeItem<_TaskItem, ItemKind::Task>(state, item, node, __uuidof(TaskItem), 48);
        case ItemKind::Meeting:
            return MakeItem<_MeetingItem, ItemKind::Meeting>(state, item, node, __uuidof(MeetingItem), 53);
        case ItemKind::Report:
            return MakeItem<_ReportItem, ItemKind::Report>(state, item, node, __uuidof(ReportItem), 46);
        case ItemKind::Journal:
            return MakeItem<_JournalItem, ItemKind::Journal>(state, item, node, __uuidof(JournalItem), 42);
        case ItemKind::DistList:
            return MakeItem<_DistListItem, ItemKind::DistList>(state, item, node, __uuidof(DistListItem), 69);
    }
    throw HostError(HostStatus::Unexpected, u"Unknown item kind");
}

}  // namespace standin::win::face
