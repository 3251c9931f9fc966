#pragma once
// One run of the in-memory host with the add-in connected to it, as the native tests drive it.
#include <initializer_list>
#include <memory>
#include <string>

#include "addin/core/Connect.h"
#include "addin/core/HostVersion.h"
#include "addin/core/Preferences.h"
#include "base/Tolerate.h"
#include "standin/model/Host.h"
#include "tests/core/FakePlatform.h"

namespace addin {

inline constexpr char16_t kTag[] = u"10624a9e-43e2-4463-bb73-fea2416b296a";
inline constexpr char16_t kSaveAllTag[] = u"5d1f0c3e-8a27-4b6e-9f04-71c2e8a9b356";
inline constexpr char16_t kToolbar[] = u"Quenmark Toolbar";

/// The failures the core tolerated (its report hook, as the Windows layer connects the debug output).
struct Tolerated {
    static std::vector<int32_t>& Statuses() {
        static std::vector<int32_t> statuses;
        return statuses;
    }
    static void Record(int32_t status, std::u16string_view, const base::Where&) noexcept {
        try {
            Statuses().push_back(status);
        } catch (...) {
        }
    }
};

struct Session {
    explicit Session(standin::HostOptions options = {},
                     std::shared_ptr<standin::CommandBarStore> kept = std::make_shared<standin::CommandBarStore>())
        : store(std::move(kept)), host(store, std::move(options)) {
        // Module state lives as long as the test program; each run starts from a loaded library.
        Preferences::SetReplaceWithLinks(false);
        Preferences::SetShortcutsRefused(false);
        Tolerated::Statuses().clear();
        base::SetToleratedReport(&Tolerated::Record);
    }

    /// The host loads the add-in under `progId` and connects it.
    void Connect(const std::u16string& progId = u"Tallowby.Connect") {
        addIn = std::make_unique<addin::Connect>(platform);
        addIn->OnConnection(host.Application(), 1, host.AddInInstance(progId));
    }
    /// The host's ordinary exit: windows close (the last explorer's Close among them), then the
    /// add-in hears OnBeginShutdown and OnDisconnection.
    void Quit() {
        host.CloseAllWindows();
        addIn->OnBeginShutdown();
        addIn->OnDisconnection(0);
    }

    static std::shared_ptr<standin::ItemNode> Item(standin::ItemKind kind, std::initializer_list<int32_t> types = {}) {
        auto item = std::make_shared<standin::ItemNode>(kind);
        int n = 0;
        for (int32_t type : types) {
            const std::string name = "file" + std::to_string(++n) + ".txt";
            item->Attach(type, type == 4 ? u"C:\\Saved\\" + std::u16string(name.begin(), name.end())
                                         : std::u16string(name.begin(), name.end()),
                         "content " + name);
        }
        return item;
    }
    static std::shared_ptr<standin::ItemNode> Mail(bool sent, std::initializer_list<int32_t> types = {}) {
        auto mail = Item(standin::ItemKind::Mail, types);
        mail->sent = sent;
        return mail;
    }

    std::vector<std::shared_ptr<standin::ControlNode>> Buttons() const { return host.ControlsWithTag(kTag); }
    std::vector<std::shared_ptr<standin::ControlNode>> SaveAllButtons() const { return host.ControlsWithTag(kSaveAllTag); }
    std::vector<std::shared_ptr<standin::BarNode>> Toolbars() const { return host.BarsNamed(kToolbar); }
    static std::vector<std::shared_ptr<standin::ControlNode>> ButtonsIn(const standin::InspectorNode& ins,
                                                                        const char16_t* tag = kTag) {
        std::vector<std::shared_ptr<standin::ControlNode>> found;
        for (const auto& bar : ins.bars->bars)
            for (const auto& control : bar->controls)
                if (control->tag == tag) found.push_back(control);
        return found;
    }
    int CallsOf(const std::string& member) {
        int n = 0;
        for (const auto& call : host.ledger().Calls()) n += call == member ? 1 : 0;
        return n;
    }

    FakePlatform platform;
    std::shared_ptr<standin::CommandBarStore> store;
    standin::Host host;
    std::unique_ptr<addin::Connect> addIn;
};

}  // namespace addin
