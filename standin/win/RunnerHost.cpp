// The script runner: the host and its add-ins (start, loading, ribbon, unload, shut-down), settings.
#include "standin/win/RunnerImpl.h"

namespace standin::win {

void Runner::DoVersion(const ScriptLine& line) {
    const BehaviourAnswer answer = ReadAnswer(line);
    if (host_) Error(u"version must come before the host starts");
    answer.behaviour->play(answer, hostOptions_, play_);
}

BehaviourAnswer Runner::ReadAnswer(const ScriptLine& line) const {
    ParsedAnswer parsed = ParseAnswer(line.words);
    if (!parsed.error.empty()) Error(parsed.error);
    return std::move(parsed.answer);
}

void Runner::DoSample(const ScriptLine& line) {
    Need(line, 0, 0);
    // With the process's resources, the host objects the add-ins hold (the ledger).
    t_.Line(u"resources " + SampleResources() + u" held=" + Num(RequireHost().ledger().LiveCount()));
}

void Runner::DoStart(const ScriptLine& line) {
    Need(line, 0, 0);
    if (started_) Error(u"the host has already started");
    Start();
}

void Runner::DoUnload(const ScriptLine& line) {
    const auto& w = line.words;
    Need(line, 1, 1);
    Unload(w[1]);
}

void Runner::DoShutdown(const ScriptLine& line) {
    Need(line, 0, 0);
    if (!started_ || shutDown_) Error(u"shutdown: the host is not running");
    Shutdown();
}

void Runner::LoadStore() {
    store_ = std::make_shared<CommandBarStore>();
    if (options_.statePath.empty()) return;
    try {
        LoadState(options_.statePath, *store_);
    } catch (const ScriptError& e) {
        throw ScriptError(0, u"state file line " + Num(e.line) + u": " + e.message);
    }
    t_.Line(u"state loaded inspector-bars=" + Num(static_cast<long long>(store_->inspector.bars.size())) +
            u" explorer-bars=" + Num(static_cast<long long>(store_->explorer.bars.size())));
}

Host& Runner::RequireHost() {
    if (!host_) {
        host_ = std::make_shared<Host>(store_, hostOptions_);
        Ledger& ledger = host_->ledger();
        if (options_.failCall) ledger.FailCall(options_.failCall, E_FAIL);
        if (options_.nothingCall) ledger.NothingAtCall(options_.nothingCall);
        if (!options_.nothingMember.empty()) ledger.NothingFrom(options_.nothingMember);
        face_ = std::make_unique<Face>(host_, hostOptions_);
        face_->OnEvent([this](const std::u16string& e) { t_.Line(u"event " + e); });
        face_->AfterWrite([this] { SlowWrite(); });
        t_.Line(u"host version=" + Transcript::Quote(hostOptions_.version) + u" pictures=" +
                (hostOptions_.buttonPictures ? u"yes" : u"no"));
        if (Major() >= 12)
            t_.Line(u"host ribbon reads=" +
                    Transcript::Quote(Major() >= 14 ? u"2006/01/customui 2009/07/customui" : u"2006/01/customui"));
    }
    return *host_;
}

void Runner::Start() {
    RequireHost();
    started_ = true;
    if (host_->Explorers().empty()) {
        auto explorer = host_->OpenExplorer();
        t_.Line(u"window " + Name(explorer) + u" open");
    }
    const auto list = ReadAddInList();
    t_.Line(u"addins listed=" + Num(static_cast<long long>(list.size())));
    for (const auto& entry : list) {
        const auto text = [](const std::optional<std::u16string>& s) {
            return s ? Transcript::Quote(*s) : std::u16string(u"none");
        };
        t_.Line(u"addin key=" + Transcript::Quote(entry.progId) + u" friendlyname=" + text(entry.friendlyName) +
                u" description=" + text(entry.description) + u" loadbehavior=" +
                (entry.loadBehavior ? Num(*entry.loadBehavior) : u"none") + (entry.machine ? u" list=machine" : u""));
    }
    for (const auto& entry : list)
        if (entry.loadBehavior == 3u) Load(entry);
    for (auto& addIn : addIns_) {
        auto custom = EmptyArray();
        SAFEARRAY* raw = custom.get();
        t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" OnStartupComplete " +
                Status(addIn.ext->OnStartupComplete(&raw)));
    }
}

com::SafeArray Runner::EmptyArray() {
    com::SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, 0));
    if (!array) throw HostError(E_OUTOFMEMORY, {});
    return array;
}

void Runner::Load(const AddInEntry& entry) {
    const std::u16string& progId = entry.progId;
    const bool machineList = entry.machine;
    const std::u16string name = u"addin " + Transcript::Quote(progId);
    ClassLookup found = CreateClass(progId);
    if (found.perUser) t_.Line(PerUserNote(progId, found));
    else if (machineList && SUCCEEDED(found.status)) t_.Line(MachineNote(progId, found));
    if (found.status == REGDB_E_CLASSNOTREG || found.status == CO_E_CLASSSTRING) {
        t_.Line(name + u" not-registered " + Hex(found.status));
        return;
    }
    if (FAILED(found.status)) {
        t_.Line(name + u" create-failed " + Hex(found.status));
        return;
    }
    ComPtr<IUnknown> object = std::move(found.object);
    auto ext = object.tryQuery<_IDTExtensibility2>();
    if (!ext) {
        t_.Line(name + u" not-an-addin (no _IDTExtensibility2)");
        return;
    }
    object.reset();
    auto app = face_->Application();
    auto instance = face_->AddIn(progId);
    auto custom = EmptyArray();
    SAFEARRAY* raw = custom.get();
    const Stopwatch watch;
    const HRESULT hr = ext->OnConnection(app.get(), ext_cm_Startup, instance.get(), &raw);
    Timing(u"OnConnection addin=" + Transcript::Quote(progId), watch);
    if (FAILED(hr)) {
        // The host marks a start-up add-in of the user's list that failed to connect as not loaded,
        // until the user turns it on again; for the machine's list no source says where it notes it.
        if (!machineList) MarkNotLoaded(progId);
        t_.Line(name + u" OnConnection " + Hex(hr) + u" not-loaded" + (machineList ? u"" : u" loadbehavior=2"));
        return;
    }
    t_.Line(name + u" OnConnection ok");
    LoadedAddIn loaded{progId, std::move(ext), found.server, nullptr, nullptr, entry.requireShutdownNotification};
    if (Major() >= 12) ConnectRibbon(loaded);
    addIns_.push_back(std::move(loaded));
}

void Runner::ConnectRibbon(LoadedAddIn& addIn) {
    auto ribbon = addIn.ext.tryQuery<IRibbonExtensibility>();
    t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" IRibbonExtensibility " + (ribbon ? u"yes" : u"no"));
    if (!ribbon) return;
    addIn.ribbonClient = std::make_unique<RibbonClient>(std::move(ribbon), *face_);
    addIn.ribbon = std::make_unique<RibbonHost>(*host_, *addIn.ribbonClient, Major(), static_cast<RibbonLog&>(*this));
    addIn.ribbon->SetMenuAsking(play_.menus);
    // The main window's markup is asked for at start-up (version 14 on), open main windows or not.
    if (Major() >= 14) addIn.ribbon->Load(std::u16string(RibbonHost::kExplorerRibbonId));
    for (const auto& explorer : host_->Explorers()) addIn.ribbon->ShowExplorer(explorer);
    for (const auto& inspector : host_->Inspectors()) addIn.ribbon->Show(inspector);
}

void Runner::DropRibbon(LoadedAddIn& addIn) {
    // The markup leaves the windows now. An unload or a shut-down inside one of the add-in's dialogs
    // comes while its ribbon is still in the click that opened the dialog: that ribbon goes when the
    // action is over, as the host's own would.
    if (whileUp_ > 0) {
        droppedRibbons_.push_back(std::move(addIn.ribbon));
        droppedClients_.push_back(std::move(addIn.ribbonClient));
    }
    addIn.ribbon.reset();
    addIn.ribbonClient.reset();
}

void Runner::Unload(const std::u16string& progId) {
    const auto it = std::find_if(addIns_.begin(), addIns_.end(),
                                 [&](const LoadedAddIn& a) { return Same(a.progId, progId); });
    if (it == addIns_.end()) Error(u"unload: " + progId + u" is not loaded");
    optionsDialog_.Close(false);  // the add-in's pages go before the add-in
    LoadedAddIn addIn = std::move(*it);
    addIns_.erase(it);
    cleanedUp_ = true;
    unloadedInAction_ = true;
    releasedDlls_.push_back(addIn.dll);
    auto custom = EmptyArray();
    SAFEARRAY* raw = custom.get();
    t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" OnDisconnection user-closed " +
            Status(addIn.ext->OnDisconnection(ext_dm_UserClosed, &raw)));
    DropRibbon(addIn);  // its markup leaves the windows with it
    addIn.ext.reset();
    Snapshot(false);
    Held();
    ReportUnload(addIn);
}

void Runner::Shutdown() {
    shutDown_ = true;
    optionsDialog_.Close(false);
    // From version 14 the host exits without a word to its add-ins (fast shutdown), but to those
    // whose key asks for it (RequireShutdownNotification). Whether the last main window's Close
    // still comes then is not documented: the script plays either answer.
    const bool fast = Major() >= 14;
    const bool close = !fast || play_.exitClose;
    bool told = close;
    // The host closes its windows; the last main window's Close comes last.
    while (!host_->Inspectors().empty()) Close(host_->Inspectors().front());
    while (!host_->Explorers().empty()) CloseExplorer(host_->Explorers().front(), close);
    if (fast)
        t_.Line(std::u16string(u"host fast shutdown") + (close ? u"" : u" without Close for the last main window"));
    const auto notify = [&](const char16_t* what, const auto& call) {
        for (auto& addIn : addIns_) {
            const std::u16string name = u"addin " + Transcript::Quote(addIn.progId) + u" ";
            if (fast && !addIn.shutdownNotification) {
                t_.Line(name + u"no " + what + u" (fast shutdown)");
                continue;
            }
            told = true;
            auto custom = EmptyArray();
            SAFEARRAY* raw = custom.get();
            t_.Line(name + what + u" " + Status(call(*addIn.ext, &raw)));
        }
    };
    notify(u"OnBeginShutdown", [](_IDTExtensibility2& ext, SAFEARRAY** custom) { return ext.OnBeginShutdown(custom); });
    notify(u"OnDisconnection host-shutdown", [](_IDTExtensibility2& ext, SAFEARRAY** custom) {
        return ext.OnDisconnection(ext_dm_HostShutdown, custom);
    });
    // An add-in told nothing cannot stop a command of its own that is still in a dialog: what comes
    // after the exit is then no fault of it (the process would be gone).
    if (told) cleanedUp_ = true;
    std::vector<LoadedAddIn> released = std::move(addIns_);
    addIns_.clear();
    for (auto& addIn : released) {
        DropRibbon(addIn);
        addIn.ext.reset();
        releasedDlls_.push_back(addIn.dll);
    }
    Held();
    for (const auto& addIn : released) ReportUnload(addIn);
    if (!options_.statePath.empty()) {
        SaveState(options_.statePath, *store_, [this](const void* p) { return PictureText(p); });
        t_.Line(u"state saved inspector-bars=" + Num(static_cast<long long>(store_->inspector.bars.size())) +
                u" explorer-bars=" + Num(static_cast<long long>(store_->explorer.bars.size())));
    }
}

void Runner::ReportUnload(const LoadedAddIn& addIn) {
    const UnloadResult r = TryUnload(addIn.dll);
    t_.Line(u"addin " + Transcript::Quote(addIn.progId) + u" DllCanUnloadNow " +
            (r.answer ? (*r.answer == S_OK ? u"S_OK" : *r.answer == S_FALSE ? u"S_FALSE" : Hex(*r.answer))
                      : u"not-loaded") +
            u" unloaded=" + (r.unloaded ? u"yes" : u"no"));
}

void Runner::Held() {
    const auto live = host_->ledger().Live();
    std::u16string line = u"held";
    for (const auto& [kind, count] : live) line += u" " + FromUtf8(kind) + u"=" + Num(count);
    if (live.empty()) line += u" none";
    t_.Line(line);
}

void Runner::DoRegistry(const ScriptLine& line) {
    const auto& w = line.words;
    if (w.size() < 3) Error(u"registry: set, dword, delete or show and a key expected");
    HKEY root = nullptr;
    std::wstring path;
    if (!SplitRegistryPath(w[2], root, path)) Error(u"registry: HKCU, HKLM or HKCR expected: " + w[2]);
    const std::wstring name = w.size() > 3 ? com::toWide(w[3]) : L"";
    if (w[1] == u"set" || w[1] == u"dword") {
        Need(line, 4, 4);
        com::RegKey key;
        if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
            Error(u"registry: cannot create " + w[2]);
        LONG rc = 0;
        if (w[1] == u"set") {
            const std::wstring value = com::toWide(w[4]);
            rc = RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        } else {
            const DWORD value = static_cast<DWORD>(ToInt(w[4], line_));
            rc = RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                sizeof value);
        }
        if (rc != ERROR_SUCCESS) Error(u"registry: cannot write " + w[3]);
    } else if (w[1] == u"delete") {
        Need(line, 2, 3);
        if (w.size() == 4) {
            com::RegKey key;
            if (RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE, key.put()) == ERROR_SUCCESS)
                RegDeleteValueW(key.get(), name.c_str());
        } else {
            RegDeleteTreeW(root, path.c_str());
            RegDeleteKeyW(root, path.c_str());
        }
    } else if (w[1] == u"show") {
        Need(line, 2, 3);
        ShowRegistry(w[2], root, path, w.size() == 4 ? std::optional<std::wstring>(name) : std::nullopt);
    } else {
        Error(u"registry: set, dword, delete or show expected");
    }
}

void Runner::ShowRegistry(const std::u16string& shown, HKEY root, const std::wstring& path, const std::optional<std::wstring>& name) {
    std::vector<std::wstring> names;
    if (name) {
        names.push_back(*name);
    } else {
        com::RegKey key;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
            for (DWORD i = 0;; ++i) {
                wchar_t value[256];
                DWORD length = 256;
                if (RegEnumValueW(key.get(), i, value, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                names.emplace_back(value, length);
            }
        } else {
            t_.Line(u"registry " + Transcript::Quote(shown) + u" missing");
            return;
        }
    }
    for (const auto& n : names) {
        const auto value = RegistryValueText(root, path, n);
        t_.Line(u"registry " + Transcript::Quote(shown) + u" " + Transcript::Quote(com::fromWide(n)) + u"=" +
                value.value_or(u"missing"));
    }
}

void Runner::DoFail(const ScriptLine& line) {
    Need(line, 1, 7);
    const auto& w = line.words;
    Ledger& ledger = RequireHost().ledger();
    // A write that breaks off, as a full disk makes it: fail <member> [at <n>] after <bytes> bytes [hresult].
    if (const auto after = std::find(w.begin(), w.end(), u"after"); after != w.end()) {
        const size_t at = static_cast<size_t>(after - w.begin());
        const bool counted = at == 4 && w[2] == u"at";
        if ((at != 2 && !counted) || w.size() < at + 3 || w.size() > at + 4 || w[at + 2] != u"bytes")
            Error(u"fail: fail <Interface.Member> [at <n>] after <bytes> bytes [hresult] expected");
        const int32_t status = w.size() == at + 4 ? ToInt(w[at + 3], line_) : HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        ledger.FailWriteAfter(Ascii(w[1]), ToInt(w[at + 1], line_), status, counted ? ToInt(w[3], line_) : 0);
        return;
    }
    Need(line, 1, 3);
    if (w[1] == u"none") {
        ledger.ClearFailures();
    } else if (w[1] == u"call") {
        Need(line, 2, 3);
        ledger.FailCall(ToInt(w[2], line_), w.size() == 4 ? ToInt(w[3], line_) : E_FAIL);
    } else if (w.size() == 4 && w[2] == u"at") {
        ledger.FailMember(Ascii(w[1]), E_FAIL, ToInt(w[3], line_));
    } else {
        Need(line, 1, 2);
        ledger.FailMember(Ascii(w[1]), w.size() == 3 ? ToInt(w[2], line_) : E_FAIL);
    }
}


// play <behaviour> <answer>: which of the plausible answers the host gives where no source says
// (docs/host-behaviour.md), or a setting of the user's the host obeys.
void Runner::DoPlay(const ScriptLine& line) {
    const BehaviourAnswer answer = ReadAnswer(line);
    // An option of the host's objects takes effect in the host, made now if it is not yet.
    answer.behaviour->play(answer, answer.behaviour->ofHost ? RequireHost().options() : hostOptions_, play_);
    for (auto& addIn : addIns_)
        if (addIn.ribbon) addIn.ribbon->SetMenuAsking(play_.menus);
    t_.Line(PlaysLine(answer));
}

// A write that takes its time (a slow share, a server's store), then, while a progress window is up
// and the robot holds an answer for it, as long as the robot takes to give it: a user's Cancel
// comes while an attachment is written, whatever the machine's speed. With `pump` the host's
// thread handles its messages meanwhile, as a host waiting for a server may.
void Runner::SlowWrite() {
    if (play_.slowSaveMs <= 0) return;
    const auto wait = [&](DWORD ms) {
        if (!play_.slowSavePumps) return Sleep(ms);
        const ULONGLONG end = GetTickCount64() + ms;
        for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
            (void)MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) return PostQuitMessage(static_cast<int>(message.wParam));
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    };
    wait(static_cast<DWORD>(play_.slowSaveMs));
    for (int n = 0; n < 500 && robot_.ProgressAnswerPending() && FindProgressWindow(); ++n) wait(20);
}

}  // namespace standin::win
