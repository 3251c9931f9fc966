#include "com/ClassFactory.h"

#include <gtest/gtest.h>

#include "tests/win/TestSupport.h"

using com::ComPtr;

namespace {

const CLSID kWidget = {0x286C845D, 0x0CD1, 0x4266, {0xBD, 0x10, 0x59, 0x2B, 0xE1, 0x63, 0x6E, 0x3D}};

class Widget final : public com::ComObject<IPersist> {
public:
    STDMETHODIMP GetClassID(CLSID* id) noexcept override {
        *id = kWidget;
        return S_OK;
    }

protected:
    ~Widget() override = default;
};

const com::ClassEntry kTable[] = {{&kWidget, &com::createObject<Widget>}};

ComPtr<IClassFactory> factory() {
    ComPtr<IClassFactory> f;
    EXPECT_EQ(com::getClassObject(kTable, kWidget, IID_IClassFactory, f.putVoid()), S_OK);
    return f;
}

TEST(ClassTable, AnUnknownClassIsNotAvailable) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(com::getClassObject(kTable, CLSID_NULL, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(com::getClassObject({}, kWidget, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
}

TEST(ClassTable, AKnownClassGivesAFactoryThatCreatesIt) {
    auto f = factory();
    ASSERT_TRUE(f);
    ComPtr<IPersist> widget;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IPersist, widget.putVoid()), S_OK);
    CLSID id{};
    EXPECT_EQ(widget->GetClassID(&id), S_OK);
    EXPECT_TRUE(IsEqualCLSID(id, kWidget));
}

TEST(ClassTable, TheFactoryOffersOnlyItsOwnInterfaces) {
    void* out = nullptr;
    EXPECT_EQ(com::getClassObject(kTable, kWidget, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST(ClassFactoryCreate, RefusesAggregation) {
    auto f = factory();
    testing_support::CountingUnknown outer;
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(f->CreateInstance(&outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
}

TEST(ClassFactoryCreate, AnUnsupportedInterfaceLeavesNoObjectAlive) {
    const long before = com::Module::lockCount();
    {
        auto f = factory();
        void* out = nullptr;
        EXPECT_EQ(f->CreateInstance(nullptr, IID_IDispatch, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(com::Module::lockCount(), before);
}

TEST(ModuleLock, LockServerKeepsTheModuleUntilUnlocked) {
    ASSERT_EQ(com::canUnloadNow(), S_OK) << "nothing may be alive when the case starts";
    {
        auto f = factory();
        EXPECT_EQ(f->LockServer(TRUE), S_OK);
    }
    EXPECT_EQ(com::canUnloadNow(), S_FALSE);
    {
        auto f = factory();
        EXPECT_EQ(f->LockServer(FALSE), S_OK);
    }
    EXPECT_EQ(com::canUnloadNow(), S_OK);
}

TEST(ModuleLock, UnbalancedUnlockCannotReleaseAnObjectsLock) {
    ASSERT_EQ(com::canUnloadNow(), S_OK);
    ComPtr<IPersist> widget;
    ASSERT_EQ(factory()->CreateInstance(nullptr, IID_IPersist, widget.putVoid()), S_OK);
    EXPECT_EQ(factory()->LockServer(FALSE), S_OK);
    EXPECT_EQ(com::canUnloadNow(), S_FALSE) << "the live object still needs the module";
    widget.reset();
    EXPECT_EQ(com::canUnloadNow(), S_OK);
}

TEST(ModuleLock, EveryLiveObjectKeepsTheModule) {
    ASSERT_EQ(com::canUnloadNow(), S_OK);
    ComPtr<IPersist> widget;
    ASSERT_EQ(factory()->CreateInstance(nullptr, IID_IPersist, widget.putVoid()), S_OK);
    EXPECT_EQ(com::canUnloadNow(), S_FALSE);
    widget.reset();
    EXPECT_EQ(com::canUnloadNow(), S_OK);
}

}  // namespace
