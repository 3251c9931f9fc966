#pragma once
// The in-memory host's COM face: its objects as COM objects under the host's interface names and
// ids, served from the program's embedded type library (resource TYPELIB 1, StandinHost.idl).
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <memory>
#include <string>

#include "com/ComPtr.h"
#include "standin/model/Host.h"

namespace standin::win {

struct FaceState;

/// Hands out the host's objects as COM objects. Every COM object wraps one reference of the model
/// (so the model's ledger counts the references an add-in holds, and failures injected in the model
/// come out as the HRESULTs of the COM calls). While a COM object lives, asking again for the same
/// host object gives the same COM object (COM identity holds).
class Face {
public:
    /// `host` must live as long as any object handed out. `options` must be the host's own.
    Face(std::shared_ptr<Host> host, HostOptions options);
    ~Face();
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    /// The application object (_Application; events ApplicationEvents).
    com::ComPtr<IDispatch> Application();
    /// The COMAddIn object for an add-in loaded under `progId`.
    com::ComPtr<IDispatch> AddIn(std::u16string progId);

    /// The ribbon's objects handed to an add-in's callbacks (IRibbonUI, IRibbonControl). While a
    /// COM object lives, the same ribbon gives the same object.
    com::ComPtr<IDispatch> RibbonUI(std::shared_ptr<host::RibbonUI> ribbon);
    com::ComPtr<IDispatch> RibbonControl(std::shared_ptr<host::RibbonControl> control);

    /// Called with one line for each event raised through a connection point: the event's name,
    /// the number of sinks called and what they returned (e.g. "ItemSend sinks=1 cancel=true").
    void OnEvent(std::function<void(const std::u16string&)> log);
    /// Called after each attachment the host has written for Attachment.SaveAsFile.
    void AfterWrite(std::function<void()> hook);

    /// How the picture object last set as a button's Picture or Mask looked when it was set
    /// ("bitmap 16x16"), given the identity the model keeps; empty when unknown.
    std::u16string PictureText(const void* identity) const;

    /// COM objects of this face still alive.
    size_t LiveObjects() const;

private:
    std::shared_ptr<FaceState> state_;
};

/// What a picture object looks like, as the host copies it: "bitmap 16x16"; for a 32-bit bitmap
/// also its alpha channel ("... 32-bit alpha clear=<n> opaque=<n> partial=<n>"); "none" for null.
std::u16string DescribePicture(IUnknown* picture);

}  // namespace standin::win
