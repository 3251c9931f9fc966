#pragma once
// An add-in's ribbon interface as the host's ribbon reaches it: GetCustomUI through the vtable of
// IRibbonExtensibility, the markup's callbacks by name through the same object's IDispatch
// (GetIDsOfNames, then Invoke with the ribbon's object as the one argument).
#include <windows.h>

#include <map>
#include <string>

#include "standin/win/Face.h"
#include "standin/model/RibbonHost.h"
#include "StandinHost.h"
#include "com/ComPtr.h"
#include "com/Variant.h"

namespace standin::win {

class RibbonClient final : public RibbonAddIn {
public:
    /// `face` makes the COM objects handed to the callbacks; it must outlive this object.
    RibbonClient(com::ComPtr<IRibbonExtensibility> addIn, Face& face) : addIn_(std::move(addIn)), face_(face) {}

    std::u16string GetCustomUI(const std::u16string& ribbonId) override;
    bool HasCallback(const std::u16string& name) override;
    void OnLoad(const std::u16string& name, const std::shared_ptr<host::RibbonUI>& ribbon) override;
    void OnAction(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) override;
    bool GetBool(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) override;
    std::u16string GetImage(const std::u16string& name, const std::shared_ptr<host::RibbonControl>& control) override;

private:
    /// Invokes the callback `name` as a method with `argument`; its result. HostError on failure.
    com::Variant Call(const std::u16string& name, IDispatch* argument);

    com::ComPtr<IRibbonExtensibility> addIn_;
    Face& face_;
    std::map<std::u16string, DISPID> ids_;
};

}  // namespace standin::win
