#include "com/ClassFactory.h"

namespace com {
namespace {

class ClassFactory final : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(CreateFunction create) noexcept : create_(create) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }

    STDMETHODIMP LockServer(BOOL lock) noexcept override {
        if (lock)
            Module::lock();
        else
            Module::unlock();
        return S_OK;
    }

protected:
    ~ClassFactory() override = default;

private:
    CreateFunction create_;
};

}  // namespace

HRESULT getClassObject(std::span<const ClassEntry> table, REFCLSID clsid, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& entry : table) {
        if (*entry.clsid != clsid) continue;
        return guard([&] { return make<ClassFactory>(entry.create)->QueryInterface(iid, out); });
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace com
