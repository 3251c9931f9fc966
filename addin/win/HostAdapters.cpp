#include "addin/win/HostAdapters.h"

#include <ocidl.h>

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "addin/win/HostAdapterSupport.h"
#include "base/HostError.h"
#include "base/Tolerate.h"
#include "com/DispatchCaller.h"
#include "com/EventSink.h"
#include "com/Strings.h"
#include "com/Variant.h"

namespace addin::win {
namespace {

using com::ComPtr;
using com::DispatchCaller;
using com::Variant;
using namespace adapters;

class PropertyPagesAdapter final : public Adapter<host::PropertyPages> {
public:
    using Adapter::Adapter;
    void Add(const std::u16string& page, std::optional<std::u16string> title) override {
        (void)caller_.call(u"Add", {Variant(page), Optional(title)});
    }
};

class PropertyAccessorAdapter final : public Adapter<host::PropertyAccessor> {
public:
    using Adapter::Adapter;
    host::PropertyValue GetProperty(const std::u16string& schemaName) override {
        const Variant value = caller_.call(u"GetProperty", {Variant(schemaName)});
        switch (value.type()) {
            case VT_EMPTY:
            case VT_NULL: return std::monostate();
            case VT_BOOL: return value.toBool();
            case VT_BSTR: return value.toString();
            default: return value.toLong();
        }
    }
    void SetProperty(const std::u16string& schemaName, const host::PropertyValue& value) override {
        const Variant v = std::visit(
            [](const auto& x) -> Variant {
                if constexpr (std::is_same_v<std::decay_t<decltype(x)>, std::monostate>) return Variant();
                else return Variant(x);
            },
            value);
        (void)caller_.call(u"SetProperty", {Variant(schemaName), v});
    }
    void DeleteProperty(const std::u16string& schemaName) override {
        (void)caller_.call(u"DeleteProperty", {Variant(schemaName)});
    }
};

std::shared_ptr<host::PropertyAccessor> WrapPropertyAccessor(ComPtr<IDispatch> object) {
    return std::make_shared<PropertyAccessorAdapter>(std::move(object));
}

class AttachmentAdapter final : public Adapter<host::Attachment> {
public:
    using Adapter::Adapter;
    std::u16string PathName() override { return caller_.get(u"PathName").toString(); }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override {
        return Wrapped(caller_.get(u"PropertyAccessor"), WrapPropertyAccessor);
    }
    int32_t Type() override { return caller_.get(u"Type").toLong(); }
    std::u16string FileName() override { return caller_.get(u"FileName").toString(); }
    std::u16string DisplayName() override { return caller_.get(u"DisplayName").toString(); }
    void SetDisplayName(const std::u16string& value) override { caller_.put(u"DisplayName", Variant(value)); }
    void SaveAsFile(const std::u16string& path) override { (void)caller_.call(u"SaveAsFile", {Variant(path)}); }
    void Delete() override { (void)caller_.call(u"Delete"); }
    std::shared_ptr<host::Item> Parent() override { return Wrapped(caller_.get(u"Parent"), WrapItem); }
    int32_t Index() override { return caller_.get(u"Index").toLong(); }
};

std::shared_ptr<host::Attachment> WrapAttachment(ComPtr<IDispatch> object) {
    return std::make_shared<AttachmentAdapter>(std::move(object));
}

class AttachmentsAdapter final : public Adapter<host::Attachments> {
public:
    using Adapter::Adapter;
    int32_t Count() override { return caller_.get(u"Count").toLong(); }
    std::shared_ptr<host::Attachment> Item(int32_t index) override {
        return Wrapped(caller_.callOrGet(u"Item", {Variant(index)}), WrapAttachment);
    }
    std::shared_ptr<host::Attachment> Add(const std::u16string& source, std::optional<int32_t> type,
                                          std::optional<int32_t> position,
                                          std::optional<std::u16string> displayName) override {
        return Wrapped(caller_.call(u"Add", {Variant(source), Optional(type), Optional(position), Optional(displayName)}),
                       WrapAttachment);
    }
};

class ItemAdapter final : public Adapter<host::Item> {
public:
    using Adapter::Adapter;
    std::u16string TypeName() override { return TypeNameOf(object().get()); }
    std::shared_ptr<host::Attachments> Attachments() override {
        return Wrapped(caller_.get(u"Attachments"),
                       [](ComPtr<IDispatch> o) { return std::make_shared<AttachmentsAdapter>(std::move(o)); });
    }
    bool Saved() override { return caller_.get(u"Saved").toBool(); }
    void Save() override { (void)caller_.call(u"Save"); }
    bool Sent() override { return caller_.get(u"Sent").toBool(); }
    std::u16string SenderName() override { return caller_.get(u"SenderName").toString(); }
    std::u16string HTMLBody() override { return caller_.get(u"HTMLBody").toString(); }
    void SetHTMLBody(const std::u16string& html) override { caller_.put(u"HTMLBody", Variant(html)); }
    int32_t BodyFormat() override { return caller_.get(u"BodyFormat").toLong(); }
    std::u16string Body() override { return caller_.get(u"Body").toString(); }
    void SetBody(const std::u16string& text) override { caller_.put(u"Body", Variant(text)); }
    // A byte array both ways (VT_ARRAY | VT_UI1).
    std::string RTFBody() override { return caller_.get(u"RTFBody").toBytes(); }
    void SetRTFBody(const std::string& bytes) override { caller_.put(u"RTFBody", Variant::fromBytes(bytes)); }
    std::u16string MessageClass() override { return caller_.get(u"MessageClass").toString(); }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override {
        return Wrapped(caller_.get(u"PropertyAccessor"), WrapPropertyAccessor);
    }
    std::u16string Subject() override { return caller_.get(u"Subject").toString(); }
    host::DateTime SentOn() override {
        SYSTEMTIME st{};
        if (!VariantTimeToSystemTime(caller_.get(u"SentOn").toDouble(), &st))
            throw HostError(DISP_E_OVERFLOW, u"Not a date");
        return {static_cast<int16_t>(st.wYear), static_cast<int16_t>(st.wMonth),  static_cast<int16_t>(st.wDay),
                static_cast<int16_t>(st.wHour), static_cast<int16_t>(st.wMinute), static_cast<int16_t>(st.wSecond)};
    }
};

class InspectorAdapter final : public Adapter<host::Inspector> {
public:
    using Adapter::Adapter;
    std::shared_ptr<host::Item> CurrentItem() override { return Wrapped(caller_.get(u"CurrentItem"), WrapItem); }
    std::shared_ptr<host::CommandBars> CommandBars() override {
        return Wrapped(caller_.get(u"CommandBars"), WrapCommandBars);
    }
    bool IsWordMail() override { return caller_.callOrGet(u"IsWordMail").toBool(); }
};

class InspectorsAdapter final : public Adapter<host::Inspectors> {
public:
    using Adapter::Adapter;
    int32_t Count() override { return caller_.get(u"Count").toLong(); }
    std::shared_ptr<host::Inspector> Item(int32_t index) override {
        return Wrapped(caller_.callOrGet(u"Item", {Variant(index)}), WrapInspector);
    }
    host::Subscription Subscribe(host::InspectorsEvents& sink) override {
        return SubscribeTo(object(), iids::InspectorsEvents, [&sink](DISPID id, com::EventArgs& args) {
            if (id == events::NewInspector) sink.NewInspector(WrapInspector(args.object(0)));
        });
    }
};


class SelectionAdapter final : public Adapter<host::Selection> {
public:
    using Adapter::Adapter;
    int32_t Count() override { return caller_.get(u"Count").toLong(); }
    std::shared_ptr<host::Item> Item(int32_t index) override {
        return Wrapped(caller_.callOrGet(u"Item", {Variant(index)}), WrapItem);
    }
};

class AttachmentSelectionAdapter final : public Adapter<host::AttachmentSelection> {
public:
    using Adapter::Adapter;
    int32_t Count() override { return caller_.get(u"Count").toLong(); }
    std::shared_ptr<host::Attachment> Item(int32_t index) override {
        return Wrapped(caller_.callOrGet(u"Item", {Variant(index)}), WrapAttachment);
    }
};

std::shared_ptr<host::Selection> WrapSelection(ComPtr<IDispatch> object) {
    return std::make_shared<SelectionAdapter>(std::move(object));
}

std::shared_ptr<host::AttachmentSelection> WrapAttachmentSelection(ComPtr<IDispatch> object) {
    return std::make_shared<AttachmentSelectionAdapter>(std::move(object));
}

class ExplorerAdapter final : public Adapter<host::Explorer> {
public:
    using Adapter::Adapter;
    std::shared_ptr<host::Selection> Selection() override { return Wrapped(caller_.get(u"Selection"), WrapSelection); }
    std::shared_ptr<host::AttachmentSelection> AttachmentSelection() override {
        return Wrapped(caller_.get(u"AttachmentSelection"), WrapAttachmentSelection);
    }
    // A host without Close simply never raises it; the advise is the same.
    host::Subscription Subscribe(host::ExplorerEvents& sink) override {
        return SubscribeTo(object(), iids::ExplorerEvents, [&sink](DISPID id, com::EventArgs&) {
            if (id == events::ExplorerClose)
                sink.Close();
            else if (id == events::ExplorerSelectionChange)
                sink.SelectionChange();
        });
    }
};

std::shared_ptr<host::Explorer> WrapExplorer(ComPtr<IDispatch> object) {
    return std::make_shared<ExplorerAdapter>(std::move(object));
}

class ExplorersAdapter final : public Adapter<host::Explorers> {
public:
    using Adapter::Adapter;
    int32_t Count() override { return caller_.get(u"Count").toLong(); }
    std::shared_ptr<host::Explorer> Item(int32_t index) override {
        return Wrapped(caller_.callOrGet(u"Item", {Variant(index)}), WrapExplorer);
    }
    host::Subscription Subscribe(host::ExplorersEvents& sink) override {
        return SubscribeTo(object(), iids::ExplorersEvents, [&sink](DISPID id, com::EventArgs& args) {
            if (id == events::NewExplorer) {
                const ComPtr<IDispatch> explorer = args.object(0);
                sink.NewExplorer(explorer ? WrapExplorer(explorer) : nullptr);
            }
        });
    }
};

class ApplicationAdapter final : public Adapter<host::Application> {
public:
    using Adapter::Adapter;
    std::u16string Version() override { return caller_.get(u"Version").toString(); }
    std::shared_ptr<host::Explorer> ActiveExplorer() override {
        return Wrapped(caller_.callOrGet(u"ActiveExplorer"), WrapExplorer);
    }
    std::shared_ptr<host::Inspector> ActiveInspector() override {
        return Wrapped(caller_.callOrGet(u"ActiveInspector"), WrapInspector);
    }
    std::shared_ptr<host::Inspectors> Inspectors() override {
        return Wrapped(caller_.get(u"Inspectors"),
                       [](ComPtr<IDispatch> o) { return std::make_shared<InspectorsAdapter>(std::move(o)); });
    }
    std::shared_ptr<host::Explorers> Explorers() override {
        return Wrapped(caller_.get(u"Explorers"),
                       [](ComPtr<IDispatch> o) { return std::make_shared<ExplorersAdapter>(std::move(o)); });
    }
    host::Subscription Subscribe(host::ApplicationEvents& sink) override {
        return SubscribeTo(object(), iids::ApplicationEvents, [&sink](DISPID id, com::EventArgs& args) {
            if (id == events::ItemSend) {
                const ComPtr<IDispatch> item = args.object(0);
                const auto wrappedItem = item ? WrapItem(item) : nullptr;
                WithFlag(args, 1, [&](bool& cancel) { sink.ItemSend(wrappedItem, cancel); });
            } else if (id == events::OptionsPagesAdd) {
                const ComPtr<IDispatch> pages = args.object(0);
                sink.OptionsPagesAdd(pages ? std::make_shared<PropertyPagesAdapter>(pages) : nullptr);
            }
        });
    }
};

class ObjectAdapter final : public Adapter<host::Object> {
public:
    using Adapter::Adapter;
};

class AddInInstanceAdapter final : public Adapter<host::AddInInstance> {
public:
    using Adapter::Adapter;
    std::u16string ProgId() override { return caller_.get(u"ProgId").toString(); }
};

class RibbonUIAdapter final : public Adapter<host::RibbonUI> {
public:
    using Adapter::Adapter;
    void Invalidate() override { (void)caller_.call(u"Invalidate"); }
    void InvalidateControl(const std::u16string& controlId) override {
        (void)caller_.call(u"InvalidateControl", {Variant(controlId)});
    }
};

class RibbonControlAdapter final : public Adapter<host::RibbonControl> {
public:
    using Adapter::Adapter;
    std::u16string Id() override { return caller_.get(u"Id").toString(); }
    // Told apart by the host's interfaces: an item window's inspector, the main window's explorer,
    // or what a context menu was opened on. Anything else is a context of no kind the add-in knows.
    host::RibbonContext Context() override {
        host::RibbonContext context;
        const ComPtr<IDispatch> place = caller_.get(u"Context").toDispatch();
        if (!place) return context;
        const auto as = [&](const IID& iid) { return place.tryQuery<IDispatch>(iid); };
        if (auto o = as(iids::Inspector))
            context.inspector = WrapInspector(std::move(o));
        else if (auto e = as(iids::Explorer))
            context.explorer = WrapExplorer(std::move(e));
        else if (auto sel = as(iids::Selection))
            context.selection = WrapSelection(std::move(sel));
        else if (auto a = as(iids::AttachmentSelection))
            context.attachments = WrapAttachmentSelection(std::move(a));
        return context;
    }
    std::u16string Tag() override { return caller_.get(u"Tag").toString(); }
};

std::u16string NameOf(ITypeInfo* info) noexcept {
    com::Bstr name;
    if (!info || FAILED(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr))) return {};
    std::u16string text;
    base::TolerateAll([&] {
        text = name.str();
        if (!text.empty() && text.front() == u'_') text.erase(0, 1);
    });
    return text;
}

}  // namespace

ComPtr<IDispatch> DispatchOf(const host::Object& object) noexcept {
    const auto* holder = dynamic_cast<const Holder*>(&object);
    return holder ? holder->object() : nullptr;
}

std::shared_ptr<host::Application> WrapApplication(ComPtr<IDispatch> app) {
    return std::make_shared<ApplicationAdapter>(std::move(app));
}

std::shared_ptr<host::Object> WrapObject(ComPtr<IDispatch> object) {
    return std::make_shared<ObjectAdapter>(std::move(object));
}

std::shared_ptr<host::AddInInstance> WrapAddInInstance(ComPtr<IDispatch> addIn) {
    return std::make_shared<AddInInstanceAdapter>(std::move(addIn));
}

std::shared_ptr<host::Inspector> WrapInspector(ComPtr<IDispatch> inspector) {
    return std::make_shared<InspectorAdapter>(std::move(inspector));
}

std::shared_ptr<host::Item> WrapItem(ComPtr<IDispatch> item) { return std::make_shared<ItemAdapter>(std::move(item)); }

std::shared_ptr<host::RibbonUI> WrapRibbonUI(ComPtr<IDispatch> ribbon) {
    return std::make_shared<RibbonUIAdapter>(std::move(ribbon));
}

std::shared_ptr<host::RibbonControl> WrapRibbonControl(ComPtr<IDispatch> control) {
    return std::make_shared<RibbonControlAdapter>(std::move(control));
}

std::u16string TypeNameOf(IDispatch* object) noexcept {
    if (!object) return {};
    if (const auto provider = ComPtr<IDispatch>(object).tryQuery<IProvideClassInfo>()) {
        ComPtr<ITypeInfo> info;
        if (SUCCEEDED(provider->GetClassInfo(info.put()))) {
            std::u16string name = NameOf(info.get());
            if (!name.empty()) return name;
        }
    }
    ComPtr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()))) return {};
    return NameOf(info.get());
}

}  // namespace addin::win
