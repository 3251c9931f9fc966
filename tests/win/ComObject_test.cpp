#include "com/ComObject.h"

#include <gtest/gtest.h>

#include <ocidl.h>
#include <oleidl.h>

#include <stdexcept>

#include "base/HostError.h"
#include "tests/win/TestSupport.h"

using com::ComPtr;

namespace {

// Implements IPersistStream (answering IPersist as its base) and IOleWindow.
class Probe final : public com::ComObject<com::Derives<IPersistStream, IPersist>, IOleWindow> {
public:
    explicit Probe(bool* destroyed, bool fail = false) : destroyed_(destroyed) {
        if (fail) throw std::runtime_error("constructor fails");
    }

    STDMETHODIMP GetClassID(CLSID* id) noexcept override {
        *id = CLSID_NULL;
        return S_OK;
    }
    STDMETHODIMP IsDirty() noexcept override { return S_FALSE; }
    STDMETHODIMP Load(IStream*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream*, BOOL) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetWindow(HWND* window) noexcept override {
        *window = nullptr;
        return E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

protected:
    ~Probe() override {
        if (destroyed_) *destroyed_ = true;
    }

private:
    bool* destroyed_;
};

static_assert(!std::is_destructible_v<Probe>, "only Release may destroy a COM object");

IUnknown* unknownOf(IUnknown* p) {
    IUnknown* unknown = nullptr;
    EXPECT_EQ(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    if (unknown) unknown->Release();
    return unknown;
}

TEST(ComObjectCount, StartsAtOneSoTheLastReleaseDestroys) {
    bool destroyed = false;
    Probe* raw = com::make<Probe>(&destroyed).detach();
    EXPECT_EQ(raw->AddRef(), 2u);
    EXPECT_EQ(raw->Release(), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(raw->Release(), 0u);
    EXPECT_TRUE(destroyed);
}

TEST(ComObjectCount, QueryInterfaceAddsAReference) {
    bool destroyed = false;
    auto probe = com::make<Probe>(&destroyed);
    IOleWindow* window = nullptr;
    ASSERT_EQ(probe->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)), S_OK);
    probe.reset();
    EXPECT_FALSE(destroyed) << "the interface obtained by QueryInterface keeps the object alive";
    window->Release();
    EXPECT_TRUE(destroyed);
}

TEST(ComObjectIdentity, IUnknownIsTheSamePointerFromEveryInterface) {
    auto probe = com::make<Probe>(nullptr);
    auto stream = ComPtr<Probe>(probe).tryQuery<IPersistStream>();
    auto persist = ComPtr<Probe>(probe).tryQuery<IPersist>();
    auto window = ComPtr<Probe>(probe).tryQuery<IOleWindow>();
    ASSERT_TRUE(stream && persist && window);
    IUnknown* identity = probe->identity();
    EXPECT_EQ(unknownOf(stream.get()), identity);
    EXPECT_EQ(unknownOf(persist.get()), identity);
    EXPECT_EQ(unknownOf(window.get()), identity);
    EXPECT_NE(static_cast<void*>(window.get()), static_cast<void*>(stream.get()))
        << "two interfaces of one object are different pointers, their IUnknown is one";
}

TEST(ComObjectQuery, AnswersEveryListedInterfaceAndTheBasesItDerivesFrom) {
    auto probe = com::make<Probe>(nullptr);
    for (const IID* iid : {&IID_IUnknown, &IID_IPersist, &IID_IPersistStream, &IID_IOleWindow}) {
        SCOPED_TRACE(testing_support::guidText(*iid));
        void* out = nullptr;
        EXPECT_EQ(probe->QueryInterface(*iid, &out), S_OK);
        ASSERT_NE(out, nullptr);
        static_cast<IUnknown*>(out)->Release();
    }
    CLSID id{};
    EXPECT_EQ(ComPtr<Probe>(probe).query<IPersist>()->GetClassID(&id), S_OK) << "IPersist reaches the object";
}

TEST(ComObjectQuery, AnyOtherInterfaceIsNoInterfaceWithNullOut) {
    auto probe = com::make<Probe>(nullptr);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(probe->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(probe->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(ComObjectQuery, ComPtrQueryThrowsAndTryQueryIsEmpty) {
    auto probe = com::make<Probe>(nullptr);
    EXPECT_FALSE(probe.tryQuery<IDispatch>());
    try {
        (void)probe.query<IDispatch>();
        ADD_FAILURE() << "query of a missing interface must throw";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, E_NOINTERFACE);
    }
    EXPECT_FALSE(ComPtr<IUnknown>().tryQuery<IDispatch>());
}

TEST(ComObjectModuleLock, HeldWhileTheObjectLives) {
    const long before = com::Module::lockCount();
    {
        auto probe = com::make<Probe>(nullptr);
        EXPECT_EQ(com::Module::lockCount(), before + 1);
        EXPECT_EQ(com::canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(com::Module::lockCount(), before);
    EXPECT_EQ(com::canUnloadNow(), before == 0 ? S_OK : S_FALSE);
}

TEST(ComObjectModuleLock, AConstructorThatThrowsLeavesNoLock) {
    const long before = com::Module::lockCount();
    EXPECT_THROW((void)com::make<Probe>(nullptr, true), std::runtime_error);
    EXPECT_EQ(com::Module::lockCount(), before);
}

}  // namespace
