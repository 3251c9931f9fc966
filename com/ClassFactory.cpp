#include "com/ClassFactory.h"

#include <atomic>

namespace com {
namespace {

// Locks taken through LockServer, so that an unbalanced LockServer(FALSE) cannot release a lock that
// a live object holds and let the module unload under it.
std::atomic<long> serverLocks{0};

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
        if (lock) {
            serverLocks.fetch_add(1, std::memory_order_relaxed);
            Module::lock();
            return S_OK;
        }
        long held = serverLocks.load(std::memory_order_relaxed);
        do {
            if (held == 0) return S_OK;  // nothing to unlock: a caller's unbalanced call
        } while (!serverLocks.compare_exchange_weak(held, held - 1, std::memory_order_acq_rel));
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
