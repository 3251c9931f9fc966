#pragma once
// The in-memory host's ribbon driving the core, as the native tests use it: the core's connection
// object as the ribbon reaches an add-in (markup, callbacks by name), and a log that keeps lines.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "addin/core/Connect.h"
#include "addin/core/EventManager.h"
#include "addin/core/Ribbon.h"
#include "standin/model/RibbonHost.h"
#include "tests/core/FakePlatform.h"

namespace addin {

/// The core's Connect as the ribbon meets the add-in: each name must be the callback the host
/// expects for its place in the markup.
class CoreRibbonAddIn : public standin::RibbonAddIn {
public:
    explicit CoreRibbonAddIn(addin::Connect& addIn) : addIn_(addIn) {}

    std::u16string GetCustomUI(const std::u16string& ribbonId) override { return addIn_.Events()->GetCustomUI(ribbonId); }
    bool HasCallback(const std::u16string& name) override { return Ribbon::CallbackNamed(name).has_value(); }
    void OnLoad(const std::u16string& name, const std::shared_ptr<host::RibbonUI>& ribbon) override {
        const auto callback = Ribbon::CallbackNamed(name);
        EXPECT_TRUE(callback == Ribbon::Callback::OnLoad || callback == Ribbon::Callback::OnExplorerLoad)
            << std::string(name.begin(), name.end());
        addIn_.Events()->OnRibbonLoad(ribbon, callback == Ribbon::Callback::OnExplorerLoad);
    }
    void OnAction(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) override {
        Expect(name, Ribbon::Callback::OnAction);
        addIn_.Events()->OnRibbonAction(control);
    }
    bool GetBool(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) override {
        if (Ribbon::CallbackNamed(name) == Ribbon::Callback::GetVisible) return addIn_.Events()->GetRibbonVisible(control);
        Expect(name, Ribbon::Callback::GetEnabled);
        return addIn_.Events()->GetRibbonEnabled(control);
    }
    std::u16string GetImage(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) override {
        Expect(name, Ribbon::Callback::GetImage);
        const auto picture = std::dynamic_pointer_cast<FakePicture>(addIn_.Events()->GetRibbonImage(control));
        if (!picture) return u"none";
        const std::string text = "resource " + std::to_string(picture->resourceId);
        return {text.begin(), text.end()};
    }

private:
    static void Expect(const std::u16string& name, Ribbon::Callback callback) {
        EXPECT_EQ(Ribbon::CallbackNamed(name), callback) << std::string(name.begin(), name.end());
    }
    addin::Connect& addIn_;
};

/// Keeps what the ribbon reports; windows are named by the order the ribbon first names them.
class KeptRibbonLog : public standin::RibbonLog {
public:
    std::vector<std::u16string> lines;
    std::vector<std::u16string> failures;

    void Line(const std::u16string& text) override { lines.push_back(text); }
    void Failure(const std::u16string& text) override {
        failures.push_back(text);
        lines.push_back(u"FAILED " + text);
    }
    std::u16string Quote(std::u16string_view text) override { return u"\"" + std::u16string(text) + u"\""; }
    std::u16string WindowName(const std::shared_ptr<standin::InspectorNode>& window) override {
        const auto [it, added] = names_.try_emplace(window.get(), static_cast<int>(names_.size()) + 1);
        if (added) keep_.push_back(window);
        const std::string name = "inspector:" + std::to_string(it->second);
        return {name.begin(), name.end()};
    }
    std::u16string Code(int32_t status) override {
        const std::string text = std::to_string(status);
        return {text.begin(), text.end()};
    }
    /// Lines containing `text`, counted.
    int Count(std::u16string_view text) const {
        int n = 0;
        for (const auto& l : lines) n += l.find(text) != std::u16string::npos ? 1 : 0;
        return n;
    }

private:
    std::map<const void*, int> names_;
    std::vector<std::shared_ptr<standin::InspectorNode>> keep_;
};

}  // namespace addin
