#include "addin/win/AddInClasses.h"

#include <iterator>
#include <string>

#include "addin/win/FileDialogManagerObject.h"
#include "addin/win/FileNameManglerObject.h"
#include "addin/win/PropPageBridge.h"
#include "base/Tolerate.h"
#include "com/FailureReport.h"
#include "com/Module.h"

namespace addin::win {
namespace {

// Every object is made with the module's shared state.
template <class T>
constexpr com::CreateFunction kCreateWithModule = &com::createObject<T, &AddInModule::Instance>;

const AddInClass kClasses[] = {
    {&CLSID_Connect, kCreateWithModule<ConnectObject>, L"Connect"},
    {&CLSID_EventManager, kCreateWithModule<EventManagerObject>, L"EventManager"},
    {&CLSID_ActionManager, kCreateWithModule<ActionManagerObject>, L"ActionManager"},
    {&CLSID_FileNameMangler, kCreateWithModule<FileNameManglerObject>, L"FileNameMangler"},
    {&CLSID_FileDialogManager, &com::createObject<FileDialogManagerObject>, L"FileDialogManager"},
    {&CLSID_PropPageBridge, kCreateWithModule<PropPageBridgeObject>, L"PropPageBridge"},
};

// Failures the core tolerates go where the ones caught at COM boundaries go: the debug output.
void ReportTolerated(int32_t status, std::u16string_view text, const base::Where& where) noexcept {
    com::reportFailure(static_cast<HRESULT>(status), text, where);
}

}  // namespace

AddInModule& AddInModule::Instance() noexcept {
    // Every object of the module is made with it: its first use connects the report.
    static const bool connected = (base::SetToleratedReport(&ReportTolerated), true);
    (void)connected;
    static AddInModule module(com::Module::handle());
    return module;
}

std::span<const AddInClass> Classes() noexcept { return kClasses; }

com::ServerInfo Registration() {
    com::ServerInfo server{{LIBID_Tallowby, 1, 0}, {}, {}};
    for (const AddInClass& cls : kClasses) {
        const std::wstring progId = std::wstring(L"Tallowby.") + cls.name;
        server.classes.push_back({*cls.clsid, progId, progId});
    }
    server.extraKeys.push_back({HKEY_CURRENT_USER,
                                AddInKey,
                                {{L"FriendlyName", std::wstring(FriendlyName)},
                                 {L"Description", std::wstring(Description)},
                                 {L"LoadBehavior", LoadBehavior}}});
    return server;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    com::ClassEntry entries[std::size(kClasses)];
    for (size_t i = 0; i < std::size(kClasses); ++i) entries[i] = {kClasses[i].clsid, kClasses[i].create};
    return com::getClassObject(entries, clsid, iid, out);
}

}  // namespace addin::win
