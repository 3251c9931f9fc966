#pragma once
// The core's host interfaces over the host's automation objects: every member is called by name
// through IDispatch (ids cached per interface), and events arrive through connection-point sinks.
#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "addin/core/host/AddInInstance.h"
#include "addin/core/host/Application.h"
#include "addin/core/host/CommandBars.h"
#include "addin/core/host/Explorer.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Item.h"
#include "addin/core/host/Picture.h"
#include "addin/core/host/PropertyPages.h"
#include "addin/core/host/Ribbon.h"
#include "com/ComPtr.h"

namespace addin::win {

/// The host's interface and event identifiers the adapters rely on.
namespace iids {
inline constexpr IID Application = {0x00063001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID Explorer = {0x00063003, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID Inspector = {0x00063005, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID Attachment = {0x00063007, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID Inspectors = {0x00063008, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID Explorers = {0x0006300A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID Attachments = {0x0006303C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID Selection = {0x00063087, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID AttachmentSelection = {0x000630F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID PropertyPages = {0x00063080, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID CommandBars = {0x000C0302, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID CommandBar = {0x000C0304, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID CommandBarControls = {0x000C0306, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID CommandBarButton = {0x000C030E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID COMAddIn = {0x000C033A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr IID ApplicationEvents = {0x0006304E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID ExplorerEvents = {0x0006304F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID ExplorersEvents = {0x00063078, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID InspectorsEvents = {0x00063079, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID CommandBarButtonEvents = {0x000C0351, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
}  // namespace iids

/// The host's event dispatch ids.
namespace events {
inline constexpr DISPID ItemSend = 61442;
inline constexpr DISPID OptionsPagesAdd = 61445;
inline constexpr DISPID ExplorerSelectionChange = 61447;
inline constexpr DISPID ExplorerClose = 61448;
inline constexpr DISPID NewInspector = 61441;
inline constexpr DISPID NewExplorer = 61441;
inline constexpr DISPID ButtonClick = 1;
}  // namespace events

/// A picture object the platform made (IPictureDisp), as the core holds it.
class Picture final : public host::Picture {
public:
    explicit Picture(com::ComPtr<IDispatch> picture) noexcept : picture_(std::move(picture)) {}
    const com::ComPtr<IDispatch>& object() const noexcept { return picture_; }

private:
    com::ComPtr<IDispatch> picture_;
};

/// The host object an adapter stands for (the same for every adapter made by this file).
/// Empty when `object` is not an adapter of this file.
com::ComPtr<IDispatch> DispatchOf(const host::Object& object) noexcept;

/// The add-in's view of the host application. `app` must be the host's application object; the
/// caller has checked that it offers the host's _Application.
std::shared_ptr<host::Application> WrapApplication(com::ComPtr<IDispatch> app);
/// A host object of unknown kind (only SameObject works on it).
std::shared_ptr<host::Object> WrapObject(com::ComPtr<IDispatch> object);
/// The host's add-in instance object (COMAddIn).
std::shared_ptr<host::AddInInstance> WrapAddInInstance(com::ComPtr<IDispatch> addIn);
std::shared_ptr<host::Inspector> WrapInspector(com::ComPtr<IDispatch> inspector);
/// Any item; its members are reached by name.
std::shared_ptr<host::Item> WrapItem(com::ComPtr<IDispatch> item);

/// The ribbon's objects handed to the markup's callbacks (IRibbonUI, IRibbonControl).
std::shared_ptr<host::RibbonUI> WrapRibbonUI(com::ComPtr<IDispatch> ribbon);
std::shared_ptr<host::RibbonControl> WrapRibbonControl(com::ComPtr<IDispatch> control);

/// The conventional type name of an automation object: its class's name from IProvideClassInfo,
/// otherwise its interface's name from IDispatch::GetTypeInfo; one leading "_" removed. Empty when
/// neither tells.
std::u16string TypeNameOf(IDispatch* object) noexcept;

}  // namespace addin::win
