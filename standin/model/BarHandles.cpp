// The host's command bars as the add-in reaches them: the bar sets, bars, their controls and buttons.
#include <algorithm>

#include "standin/model/Handle.h"

namespace standin {

namespace {

class ControlsHandle;

class BarHandle final : public Handle<host::CommandBar, BarNode> {
public:
    BarHandle(std::shared_ptr<World> w, std::shared_ptr<BarNode> n) : Handle(std::move(w), std::move(n), "CommandBar") {}

    std::u16string Name() override { return Live("CommandBar.Name")->name; }
    bool Visible() override { return Live("CommandBar.Visible")->visible; }
    void SetVisible(bool value) override { Live("CommandBar.Visible=")->visible = value; }
    int32_t Protection() override { return Live("CommandBar.Protection")->protection; }
    void SetProtection(int32_t value) override { Live("CommandBar.Protection=")->protection = value; }
    std::shared_ptr<host::CommandBarControls> Controls() override;
    void Delete() override {
        Live("CommandBar.Delete");
        node_->deleted = true;
        for (auto& control : node_->controls) control->deleted = true;
        if (auto owner = node_->owner.lock()) std::erase(owner->bars, node_);
    }

private:
    BarNode* Live(std::string_view member) {
        Enter(member);
        if (node_->deleted) throw Gone("command bar");
        return node_.get();
    }
};

class ButtonHandle final : public Handle<host::CommandBarButton, ControlNode> {
public:
    ButtonHandle(std::shared_ptr<World> w, std::shared_ptr<ControlNode> n)
        : Handle(std::move(w), std::move(n), "CommandBarButton") {}

    std::u16string Caption() override { return Live("CommandBarControl.Caption")->caption; }
    void SetCaption(const std::u16string& v) override { Live("CommandBarControl.Caption=")->caption = v; }
    std::u16string OnAction() override { return Live("CommandBarControl.OnAction")->onAction; }
    void SetOnAction(const std::u16string& v) override { Live("CommandBarControl.OnAction=")->onAction = v; }
    std::u16string Tag() override { return Live("CommandBarControl.Tag")->tag; }
    void SetTag(const std::u16string& v) override { Live("CommandBarControl.Tag=")->tag = v; }
    bool Enabled() override { return Live("CommandBarControl.Enabled")->enabled; }
    void SetEnabled(bool v) override { Live("CommandBarControl.Enabled=")->enabled = v; }
    std::shared_ptr<host::CommandBar> Parent() override {
        Live("CommandBarControl.Parent");
        auto bar = node_->parent.lock();
        if (!bar || bar->deleted) throw Gone("control");
        if (Nothing("CommandBarControl.Parent")) return nullptr;
        return std::make_shared<BarHandle>(world_, bar);
    }
    void Delete(std::optional<bool>) override {
        Live("CommandBarControl.Delete");
        node_->deleted = true;
        if (auto bar = node_->parent.lock()) std::erase(bar->controls, node_);
    }
    std::shared_ptr<host::CommandBarButton> AsButton() override {
        Live("CommandBarControl.AsButton");
        return std::make_shared<ButtonHandle>(world_, node_);
    }

    int32_t Style() override { return Live("CommandBarButton.Style")->style; }
    void SetStyle(int32_t v) override { Live("CommandBarButton.Style=")->style = v; }
    int32_t FaceId() override { return Live("CommandBarButton.FaceId")->faceId; }
    void SetFaceId(int32_t v) override { Live("CommandBarButton.FaceId=")->faceId = v; }
    void SetPicture(const std::shared_ptr<host::Picture>& v) override {
        Live("CommandBarButton.Picture=")->picture = PictureMember(v);
    }
    void SetMask(const std::shared_ptr<host::Picture>& v) override {
        Live("CommandBarButton.Mask=")->mask = PictureMember(v);
    }
    host::Subscription Subscribe(host::ButtonEvents& sink) override {
        Live("CommandBarButton.Subscribe");
        const int id = world_->nextSubscription++;
        world_->clickSinks.push_back({id, node_, &sink});
        return host::Subscription([w = std::weak_ptr<World>(world_), id] {
            if (auto world = w.lock()) std::erase_if(world->clickSinks, [id](const ClickSink& s) { return s.id == id; });
        });
    }

private:
    ControlNode* Live(std::string_view member) {
        Enter(member);
        if (node_->deleted) throw Gone("control");
        return node_.get();
    }
    // The version 9 library's buttons have no such member; late binding fails as the host does.
    const void* PictureMember(const std::shared_ptr<host::Picture>& v) const {
        if (!world_->options.buttonPictures)
            throw HostError(HostStatus::MemberNotFound, u"Object doesn't support this property or method");
        if (!v) throw HostError(HostStatus::InvalidArg, u"A picture object is required");
        return v.get();
    }
};

class ControlsHandle final : public Handle<host::CommandBarControls, BarNode> {
public:
    ControlsHandle(std::shared_ptr<World> w, std::shared_ptr<BarNode> n)
        : Handle(std::move(w), std::move(n), "CommandBarControls") {}

    int32_t Count() override {
        Live("CommandBarControls.Count");
        return static_cast<int32_t>(node_->controls.size());
    }
    std::shared_ptr<host::CommandBarControl> Add(std::optional<int32_t> type, std::optional<int32_t> id,
                                                 std::optional<std::u16string>, std::optional<int32_t> before,
                                                 std::optional<bool> temporary) override {
        Live("CommandBarControls.Add");
        // A host that answers an Add with Nothing has added nothing.
        if (Nothing("CommandBarControls.Add")) return nullptr;
        if (type.value_or(host::msoControlButton) != host::msoControlButton)
            throw HostError(HostStatus::InvalidArg, u"Only buttons can be added");
        auto control = std::make_shared<ControlNode>();
        control->id = id.value_or(1);
        control->temporary = temporary.value_or(false);
        control->parent = node_;
        auto& list = node_->controls;
        if (before && (*before < 1 || *before > static_cast<int32_t>(list.size()) + 1))
            throw HostError(HostStatus::InvalidArg, u"Invalid position");
        list.insert(before ? list.begin() + (*before - 1) : list.end(), control);
        return std::make_shared<ButtonHandle>(world_, control);
    }

private:
    void Live(std::string_view member) {
        Enter(member);
        if (node_->deleted) throw Gone("command bar");
    }
};

std::shared_ptr<host::CommandBarControls> BarHandle::Controls() {
    Live("CommandBar.Controls");
    if (Nothing("CommandBar.Controls")) return nullptr;
    return std::make_shared<ControlsHandle>(world_, node_);
}

class CommandBarsHandle final : public Handle<host::CommandBars, BarSet> {
public:
    CommandBarsHandle(std::shared_ptr<World> w, std::shared_ptr<BarSet> n)
        : Handle(std::move(w), std::move(n), "CommandBars") {}

    std::shared_ptr<host::CommandBarControl> FindControl(std::optional<int32_t> type, std::optional<int32_t> id,
                                                         std::optional<std::u16string> tag,
                                                         std::optional<bool> visible) override {
        Enter("CommandBars.FindControl");
        if (Nothing("CommandBars.FindControl")) return nullptr;
        for (const auto& bar : node_->bars) {
            if (visible && *visible && !bar->visible) continue;
            for (const auto& control : bar->controls) {
                if (type && control->type != *type) continue;
                if (id && control->id != *id) continue;
                if (tag && control->tag != *tag) continue;
                return std::make_shared<ButtonHandle>(world_, control);
            }
        }
        return nullptr;
    }
    std::shared_ptr<host::CommandBar> Add(std::optional<std::u16string> name, std::optional<int32_t> position,
                                          std::optional<bool>, std::optional<bool> temporary) override {
        Enter("CommandBars.Add");
        if (Nothing("CommandBars.Add")) return nullptr;
        auto bar = std::make_shared<BarNode>();
        bar->name = name.value_or(u"Custom " + Number(node_->bars.size() + 1));
        bar->position = position.value_or(host::msoBarTop);
        bar->temporary = temporary.value_or(false);
        bar->owner = node_;
        node_->bars.push_back(bar);
        return std::make_shared<BarHandle>(world_, bar);
    }

private:
    static std::u16string Number(size_t n) {
        const std::string s = std::to_string(n);
        return {s.begin(), s.end()};
    }
};

}  // namespace

std::shared_ptr<host::CommandBars> MakeCommandBars(const std::shared_ptr<World>& world,
                                                   const std::shared_ptr<BarSet>& node) {
    return std::make_shared<CommandBarsHandle>(world, node);
}
std::shared_ptr<host::CommandBarButton> MakeButton(const std::shared_ptr<World>& world,
                                                   const std::shared_ptr<ControlNode>& node) {
    return std::make_shared<ButtonHandle>(world, node);
}

}  // namespace standin
