// The command bars' adapters: bars, their controls and buttons, and a button's Click.
#include <utility>

#include "addin/win/HostAdapterSupport.h"
#include "base/HostError.h"

namespace addin::win::adapters {
namespace {

// Shared by plain controls and buttons: CommandBarButton extends CommandBarControl.
template <class Interface>
class ControlAdapter : public Adapter<Interface> {
public:
    using Adapter<Interface>::Adapter;
    std::u16string Caption() override { return this->caller_.get(u"Caption").toString(); }
    void SetCaption(const std::u16string& value) override { this->caller_.put(u"Caption", Variant(value)); }
    std::u16string OnAction() override { return this->caller_.get(u"OnAction").toString(); }
    void SetOnAction(const std::u16string& value) override { this->caller_.put(u"OnAction", Variant(value)); }
    std::u16string Tag() override { return this->caller_.get(u"Tag").toString(); }
    void SetTag(const std::u16string& value) override { this->caller_.put(u"Tag", Variant(value)); }
    bool Enabled() override { return this->caller_.get(u"Enabled").toBool(); }
    void SetEnabled(bool value) override { this->caller_.put(u"Enabled", Variant(value)); }
    std::shared_ptr<host::CommandBar> Parent() override { return Wrapped(this->caller_.get(u"Parent"), WrapBar); }
    void Delete(std::optional<bool> temporary) override { (void)this->caller_.call(u"Delete", {Optional(temporary)}); }
    // As the host's late binding takes a control as a button: a query for its _CommandBarButton.
    std::shared_ptr<host::CommandBarButton> AsButton() override {
        auto button = this->object().template tryQuery<IDispatch>(iids::CommandBarButton);
        if (!button) throw HostError(HostStatus::NoInterface, u"The control is not a button");
        return WrapButton(std::move(button));
    }
};

class ButtonAdapter final : public ControlAdapter<host::CommandBarButton> {
public:
    using ControlAdapter::ControlAdapter;
    int32_t Style() override { return caller_.get(u"Style").toLong(); }
    void SetStyle(int32_t value) override { caller_.put(u"Style", Variant(value)); }
    int32_t FaceId() override { return caller_.get(u"FaceId").toLong(); }
    void SetFaceId(int32_t value) override { caller_.put(u"FaceId", Variant(value)); }
    // By name: hosts before Office XP have neither member, and their failure is the answer.
    void SetPicture(const std::shared_ptr<host::Picture>& value) override { caller_.put(u"Picture", PictureArgument(value)); }
    void SetMask(const std::shared_ptr<host::Picture>& value) override { caller_.put(u"mask", PictureArgument(value)); }

    host::Subscription Subscribe(host::ButtonEvents& sink) override {
        return SubscribeTo(object(), iids::CommandBarButtonEvents, [&sink](DISPID id, com::EventArgs& args) {
            if (id != events::ButtonClick) return;
            const ComPtr<IDispatch> control = args.object(0);
            const auto ctrl = control ? WrapButton(control) : nullptr;
            WithFlag(args, 1, [&](bool& cancelDefault) { sink.Click(ctrl, cancelDefault); });
        });
    }

private:
    static Variant PictureArgument(const std::shared_ptr<host::Picture>& value) {
        const auto* ours = dynamic_cast<const Picture*>(value.get());
        return Variant(ours ? ours->object().get() : static_cast<IDispatch*>(nullptr));
    }
};

class ControlsAdapter final : public Adapter<host::CommandBarControls> {
public:
    using Adapter::Adapter;
    int32_t Count() override { return caller_.get(u"Count").toLong(); }
    std::shared_ptr<host::CommandBarControl> Add(std::optional<int32_t> type, std::optional<int32_t> id,
                                                 std::optional<std::u16string> parameter,
                                                 std::optional<int32_t> before,
                                                 std::optional<bool> temporary) override {
        return Wrapped(caller_.call(u"Add", {Optional(type), Optional(id), Optional(parameter), Optional(before),
                                             Optional(temporary)}),
                       WrapControl);
    }
};

class BarAdapter final : public Adapter<host::CommandBar> {
public:
    using Adapter::Adapter;
    std::u16string Name() override { return caller_.get(u"Name").toString(); }
    bool Visible() override { return caller_.get(u"Visible").toBool(); }
    void SetVisible(bool value) override { caller_.put(u"Visible", Variant(value)); }
    int32_t Protection() override { return caller_.get(u"Protection").toLong(); }
    void SetProtection(int32_t value) override { caller_.put(u"Protection", Variant(value)); }
    std::shared_ptr<host::CommandBarControls> Controls() override {
        return Wrapped(caller_.get(u"Controls"),
                       [](ComPtr<IDispatch> o) { return std::make_shared<ControlsAdapter>(std::move(o)); });
    }
    void Delete() override { (void)caller_.call(u"Delete"); }
};

class CommandBarsAdapter final : public Adapter<host::CommandBars> {
public:
    using Adapter::Adapter;
    std::shared_ptr<host::CommandBarControl> FindControl(std::optional<int32_t> type, std::optional<int32_t> id,
                                                         std::optional<std::u16string> tag,
                                                         std::optional<bool> visible) override {
        // The add-in passes only Tag, by name, as the host's own callers do.
        if (tag && !type && !id && !visible)
            return Wrapped(caller_.callNamed(u"FindControl", {{u"Tag", Variant(*tag)}}), WrapControl);
        return Wrapped(caller_.call(u"FindControl", {Optional(type), Optional(id), Optional(tag), Optional(visible)}),
                       WrapControl);
    }
    std::shared_ptr<host::CommandBar> Add(std::optional<std::u16string> name, std::optional<int32_t> position,
                                          std::optional<bool> menuBar, std::optional<bool> temporary) override {
        return Wrapped(
            caller_.call(u"Add", {Optional(name), Optional(position), Optional(menuBar), Optional(temporary)}),
            WrapBar);
    }
};

}  // namespace

std::shared_ptr<host::CommandBars> WrapCommandBars(ComPtr<IDispatch> object) {
    return std::make_shared<CommandBarsAdapter>(std::move(object));
}
std::shared_ptr<host::CommandBar> WrapBar(ComPtr<IDispatch> object) {
    return std::make_shared<BarAdapter>(std::move(object));
}
std::shared_ptr<host::CommandBarControl> WrapControl(ComPtr<IDispatch> object) {
    return std::make_shared<ControlAdapter<host::CommandBarControl>>(std::move(object));
}
std::shared_ptr<host::CommandBarButton> WrapButton(ComPtr<IDispatch> object) {
    return std::make_shared<ButtonAdapter>(std::move(object));
}

}  // namespace addin::win::adapters
