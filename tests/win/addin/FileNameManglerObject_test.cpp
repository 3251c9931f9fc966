// FileNameMangler's COM face as a script or the Save As dialog meets it: the item it is lent, and
// the suggestions as a collection (Count, Item from 1, _NewEnum in order) for a real folder.
#include "addin/win/FileNameManglerObject.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/win/AddInClasses.h"
#include "base/HostError.h"
#include "com/DispatchCaller.h"
#include "com/Strings.h"
#include "tests/win/TestSupport.h"

using com::ComPtr;
using com::DispatchCaller;
using com::Variant;

namespace {

class ManglerObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(apartment.hr));
        mangler = com::make<addin::win::FileNameManglerObject>(addin::win::AddInModule::Instance());
    }

    void touch(const std::wstring& name) { temp.AddFile(std::u16string(name.begin(), name.end())); }

    // The suggestions through the interface, as the dialog asks for them.
    ComPtr<_NameCollection> suggest(const std::u16string& name) {
        com::Bstr file(name), dir(com::fromWide(folder));
        ComPtr<_NameCollection> names;
        EXPECT_EQ(mangler->GetFileNameMangling(nullptr, nullptr, names.put()), E_POINTER);
        BSTR f = file.get(), d = dir.get();
        EXPECT_EQ(mangler->GetFileNameMangling(&f, &d, names.put()), S_OK);
        EXPECT_EQ(f, file.get()) << "the name passed by reference is left as it was";
        return names;
    }

    testing_support::Apartment apartment;
    testing_support::TempFolder temp;
    const std::wstring folder = com::toWide(temp.Path());
    ComPtr<addin::win::FileNameManglerObject> mangler;
};

std::vector<std::u16string> enumerate(_NameCollection* names) {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(names->_NewEnum(unknown.put()), S_OK);
    ComPtr<IEnumVARIANT> e;
    EXPECT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, e.putVoid()), S_OK);
    std::vector<std::u16string> out;
    if (!e) return out;
    VARIANT v;
    ULONG fetched = 0;
    while (e->Next(1, &v, &fetched) == S_OK) {
        EXPECT_EQ(fetched, 1u);
        EXPECT_EQ(V_VT(&v), VT_BSTR);
        out.push_back(com::fromBstr(V_BSTR(&v)));
        VariantClear(&v);
    }
    return out;
}

TEST_F(ManglerObjectTest, SuggestionsSkipTakenNamesAndEnumerateInOrder) {
    touch(L"report -- 1.doc");
    touch(L"REPORT -- 2.DOC");  // names differ from files only in letter case: still taken
    const auto names = suggest(u"report.doc");
    ASSERT_TRUE(names);
    long count = -1;
    EXPECT_EQ(names->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1) << "an item that is not a mail message gets the numbered name only";
    EXPECT_EQ(enumerate(names.get()), std::vector<std::u16string>{u"report -- 3.doc"});
}

TEST_F(ManglerObjectTest, ItemCountsFromOneAndRefusesOtherIndices) {
    const auto names = suggest(u"notes.txt");
    ASSERT_TRUE(names);
    VARIANT out;
    EXPECT_EQ(names->Item(*Variant(int32_t(1)).get(), &out), S_OK);
    ASSERT_EQ(V_VT(&out), VT_BSTR);
    EXPECT_EQ(com::fromBstr(V_BSTR(&out)), u"notes -- 1.txt");
    VariantClear(&out);
    EXPECT_EQ(names->Item(*Variant(u"1").get(), &out), S_OK) << "an index given as text converts";
    VariantClear(&out);
    EXPECT_EQ(names->Item(*Variant(int32_t(0)).get(), &out), DISP_E_BADINDEX);
    EXPECT_EQ(names->Item(*Variant(int32_t(2)).get(), &out), DISP_E_BADINDEX);
    EXPECT_EQ(names->Item(*Variant(u"first").get(), &out), DISP_E_TYPEMISMATCH);
}

TEST_F(ManglerObjectTest, ByNameThroughItsTypeLibrary) {
    DispatchCaller caller(ComPtr<IDispatch>(static_cast<_FileNameMangler*>(mangler.get())));
    Variant result = caller.call(u"GetFileNameMangling", {Variant(u"a.b"), Variant(com::fromWide(folder))});
    ASSERT_EQ(V_VT(result.get()), VT_DISPATCH);
    DispatchCaller names(ComPtr<IDispatch>(V_DISPATCH(result.get())));
    EXPECT_EQ(V_I4(names.get(u"Count").get()), 1);
    EXPECT_EQ(com::fromBstr(V_BSTR(names.call(u"Item", {Variant(int32_t(1))}).get())), u"a -- 1.b");
}

TEST_F(ManglerObjectTest, HoldsTheItemItIsLentUntilReplaced) {
    ComPtr<IDispatch> item;
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(addin::win::GetClassObject(CLSID_ActionManager, IID_IClassFactory, factory.putVoid()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, item.putVoid()), S_OK);

    const ULONG alone = (item->AddRef(), item->Release());
    EXPECT_EQ(mangler->putref_mItem(item.get()), S_OK);
    EXPECT_GT((item->AddRef(), item->Release()), alone) << "the mangler holds a reference";
    ComPtr<IDispatch> back;
    EXPECT_EQ(mangler->get_mItem(back.put()), S_OK);
    EXPECT_EQ(back.get(), item.get());
    EXPECT_EQ(mangler->Core().mItem() != nullptr, true);
    back.reset();

    EXPECT_EQ(mangler->putref_mItem(nullptr), S_OK);
    EXPECT_EQ((item->AddRef(), item->Release()), alone) << "replacing the item releases it";
    EXPECT_EQ(mangler->get_mItem(back.put()), S_OK);
    EXPECT_EQ(back.get(), nullptr);
    EXPECT_EQ(mangler->Core().mItem(), nullptr);
}

TEST_F(ManglerObjectTest, EnumeratorOutlivesItsCollectionAndClones) {
    ComPtr<IEnumVARIANT> e;
    {
        const auto names = suggest(u"x.y");
        ComPtr<IUnknown> unknown;
        ASSERT_EQ(names->_NewEnum(unknown.put()), S_OK);
        ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, e.putVoid()), S_OK);
    }
    ComPtr<IEnumVARIANT> copy;
    ASSERT_EQ(e->Clone(copy.put()), S_OK);
    VARIANT v[2];
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(2, v, &fetched), S_FALSE) << "fewer left than asked for";
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(com::fromBstr(V_BSTR(&v[0])), u"x -- 1.y");
    VariantClear(&v[0]);
    EXPECT_EQ(copy->Skip(1), S_OK);
    EXPECT_EQ(copy->Next(1, v, &fetched), S_FALSE);
    EXPECT_EQ(copy->Reset(), S_OK);
    EXPECT_EQ(copy->Next(1, v, &fetched), S_OK);
    VariantClear(&v[0]);
}

}  // namespace
