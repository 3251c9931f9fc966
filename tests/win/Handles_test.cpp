#include "com/Handles.h"

#include <gtest/gtest.h>

#include <string>

#include "base/HostError.h"
#include "com/Strings.h"
#include "com/Variant.h"
#include "tests/win/TestSupport.h"

using com::Bstr;
using com::Variant;
using testing_support::CountingUnknown;

namespace {

TEST(RegKeyHolder, ClosesTheKeyOnReset) {
    com::RegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    HKEY raw = key.get();
    EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    key.reset();
    EXPECT_FALSE(key);
    EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
}

TEST(WindowHolder, DestroysTheWindowWhenItGoesOutOfScope) {
    HWND raw = nullptr;
    {
        com::Window window(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
        raw = window.get();
        ASSERT_TRUE(IsWindow(raw));
    }
    EXPECT_FALSE(IsWindow(raw));
}

TEST(GdiObjectHolder, DeletesTheObject) {
    HBRUSH raw = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_NE(GetObjectType(raw), 0u);
    { com::GdiObject<HBRUSH> brush(raw); }
    EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(GlobalMemoryHolder, FreesTheMemory) {
    HGLOBAL raw = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(GlobalFlags(raw), GMEM_INVALID_HANDLE);
    { com::GlobalMemory memory(raw); }
    EXPECT_EQ(GlobalFlags(raw), GMEM_INVALID_HANDLE);
}

TEST(FileHolder, ClosesTheFileAndTakesAFailedOpenAsEmpty) {
    testing_support::TempFolder folder;
    const std::wstring path = com::toWide(folder.Child(u"held.txt"));
    {
        com::File file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        // Held without sharing: no other open while it lives.
        EXPECT_EQ(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
    }
    com::File again(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(again) << "closed with its holder";
    EXPECT_FALSE(com::File(CreateFileW(com::toWide(folder.Child(u"no such.txt")).c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr)));
}

TEST(FindHolder, HoldsASearchAndTakesAFailedOneAsEmpty) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(com::File(CreateFileW(com::toWide(folder.Child(u"found.txt")).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
    WIN32_FIND_DATAW found{};
    {
        com::Find search(FindFirstFileW(com::toWide(folder.Child(u"*.txt")).c_str(), &found));
        ASSERT_TRUE(search);
        EXPECT_STREQ(found.cFileName, L"found.txt");
        EXPECT_FALSE(FindNextFileW(search.get(), &found));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    }
    EXPECT_FALSE(com::Find(FindFirstFileW(com::toWide(folder.Child(u"*.none")).c_str(), &found)));
}

TEST(SafeArrayHolder, DestroysTheArrayAndReleasesItsElements) {
    CountingUnknown element;
    {
        com::SafeArray array(SafeArrayCreateVector(VT_UNKNOWN, 0, 1));
        ASSERT_TRUE(array);
        LONG index = 0;
        ASSERT_EQ(SafeArrayPutElement(array.get(), &index, static_cast<IUnknown*>(&element)), S_OK);
        EXPECT_EQ(element.refs, 2u);
    }
    EXPECT_EQ(element.refs, 1u);
}

TEST(CoTaskMemStringHolder, MoveTransfersOwnershipAndReleaseGivesItUp) {
    com::CoTaskMemString text;
    ASSERT_EQ(StringFromCLSID(CLSID_NULL, text.put()), S_OK);
    wchar_t* raw = text.get();
    com::CoTaskMemString moved(std::move(text));
    EXPECT_FALSE(text);
    EXPECT_EQ(moved.get(), raw);
    EXPECT_STREQ(moved.get(), L"{00000000-0000-0000-0000-000000000000}");
    wchar_t* released = moved.release();
    EXPECT_FALSE(moved);
    CoTaskMemFree(released);
}

TEST(BstrHolder, KeepsEmbeddedNulsAndSurrogatePairs) {
    const std::u16string text(u"a\0b\U0001F600", 5);
    Bstr b(text);
    EXPECT_EQ(b.length(), 5u);
    EXPECT_EQ(b.str(), text);
    Bstr copy(b);
    EXPECT_NE(copy.get(), b.get()) << "a copy is a string of its own";
    EXPECT_EQ(copy.str(), text);
}

TEST(BstrHolder, NullIsTheEmptyString) {
    Bstr b;
    EXPECT_EQ(b.get(), nullptr);
    EXPECT_EQ(b.length(), 0u);
    EXPECT_EQ(b.str(), u"");
    EXPECT_EQ(com::fromBstr(nullptr), u"");
}

TEST(BstrHolder, MoveAndReleaseTransferTheString) {
    Bstr b(u"text");
    BSTR raw = b.get();
    Bstr moved(std::move(b));
    EXPECT_EQ(b.get(), nullptr);
    EXPECT_EQ(moved.get(), raw);
    BSTR released = moved.release();
    EXPECT_EQ(released, raw);
    auto adopted = Bstr::adopt(released);
    EXPECT_EQ(adopted.str(), u"text");
}

TEST(WideConversions, RoundTripTheCodeUnits) {
    const std::u16string text = u"Вложение № 5 \U0001F600.txt";
    const std::wstring w = com::toWide(text);
    EXPECT_EQ(w.size(), text.size());
    EXPECT_EQ(com::fromWide(w), text);
    EXPECT_EQ(com::fromWide(w.c_str()), text);
    EXPECT_EQ(com::fromWide(static_cast<const wchar_t*>(nullptr)), u"");
    EXPECT_EQ(std::wstring(com::wide(text)), w);
}

TEST(SameIdentifier, IsTheSystemsOrdinalCaseInsensitiveComparisonForAsciiNames) {
    // Every pair of ASCII characters alone and inside a name, against the system's own ordinal
    // comparison (which the DLLs cannot import: it needs Windows Vista).
    const auto system = [](const wchar_t* a, const wchar_t* b) {
        return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
    };
    for (wchar_t a = 1; a < 0x80; ++a) {
        for (wchar_t b = 1; b < 0x80; ++b) {
            const wchar_t one[] = {a, 0}, other[] = {b, 0};
            const wchar_t nameA[] = {L'O', L'n', a, L'x', 0}, nameB[] = {L'o', L'N', b, L'X', 0};
            ASSERT_EQ(com::sameIdentifier(one, other), system(one, other)) << int(a) << " " << int(b);
            ASSERT_EQ(com::sameIdentifier(nameA, nameB), system(nameA, nameB)) << int(a) << " " << int(b);
        }
    }
    const wchar_t* const names[] = {L"OnConnection", L"ONCONNECTION", L"onconnection", L"OnConnectio",
                                    L"OnConnections", L"", L"Dirty", L"DIRTY", L"GetPageInfo"};
    for (const wchar_t* a : names)
        for (const wchar_t* b : names) EXPECT_EQ(com::sameIdentifier(a, b), system(a, b)) << a << L" / " << b;
    // Beyond ASCII no case is folded (member names are ASCII), and nothing matches a null name.
    EXPECT_FALSE(com::sameIdentifier(L"\u00C4rger", L"\u00E4rger"));
    EXPECT_FALSE(com::sameIdentifier(L"OnConnect\u0131on", L"OnConnection")) << "dotless i is no I";
    EXPECT_FALSE(com::sameIdentifier(nullptr, L""));
    EXPECT_FALSE(com::sameIdentifier(L"", nullptr));
    EXPECT_FALSE(com::sameIdentifier(nullptr, nullptr));
}

TEST(VariantHolder, ClearReleasesTheObjectHeld) {
    CountingUnknown object;
    {
        Variant v(static_cast<IUnknown*>(&object));
        EXPECT_EQ(v.type(), VT_UNKNOWN);
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(VariantHolder, CopyAddsAReferenceAndMoveDoesNot) {
    CountingUnknown object;
    Variant v(static_cast<IUnknown*>(&object));
    Variant copy(v);
    EXPECT_EQ(object.refs, 3u);
    Variant moved(std::move(copy));
    EXPECT_EQ(object.refs, 3u);
    EXPECT_EQ(copy.type(), VT_EMPTY);
    moved = Variant();
    EXPECT_EQ(object.refs, 2u);
}

TEST(VariantHolder, MissingIsParamNotFound) {
    const Variant v = Variant::missing();
    EXPECT_EQ(v.type(), VT_ERROR);
    EXPECT_EQ(V_ERROR(v.get()), DISP_E_PARAMNOTFOUND);
    EXPECT_TRUE(v.isMissing());
    EXPECT_FALSE(Variant(0).isMissing());
}

TEST(VariantHolder, ByReferencePointsAtTheCallersVariable) {
    VARIANT_BOOL flag = VARIANT_FALSE;
    Variant v = Variant::byRef(&flag);
    EXPECT_EQ(v.type(), VT_BOOL | VT_BYREF);
    *V_BOOLREF(v.get()) = VARIANT_TRUE;
    EXPECT_EQ(flag, VARIANT_TRUE);
}

TEST(VariantConversions, FollowAutomationRules) {
    EXPECT_EQ(Variant(42).toString(), u"42");
    EXPECT_EQ(Variant(u"17").toLong(), 17);
    EXPECT_TRUE(Variant(true).toBool());
    EXPECT_EQ(V_BOOL(Variant(true).get()), VARIANT_TRUE);
    EXPECT_EQ(Variant(u"text").toString(), u"text");
}

TEST(VariantBytes, AByteArrayHoldsEveryByteAndReadsBackAlsoByReference) {
    const std::string bytes("{\\rtf1 \0\xff}", 10);
    for (const std::string& value : {bytes, std::string()}) {
        Variant v = Variant::fromBytes(value);
        ASSERT_EQ(v.type(), VT_ARRAY | VT_UI1);
        EXPECT_EQ(SafeArrayGetDim(V_ARRAY(v.get())), 1u);
        EXPECT_EQ(v.toBytes(), value);
        EXPECT_EQ(Variant::byRef(v.get()).toBytes(), value);  // as a script passes its variable
        const Variant copy(v);
        EXPECT_EQ(copy.toBytes(), value);
    }
    try {
        (void)Variant(u"text").toBytes();
        ADD_FAILURE() << "text is no byte array";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, DISP_E_TYPEMISMATCH);
    }
}

TEST(VariantConversions, AMismatchThrowsHostErrorWithTheStatus) {
    try {
        (void)Variant(u"not a number").toLong();
        ADD_FAILURE() << "expected a HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, DISP_E_TYPEMISMATCH);
    }
}

}  // namespace
