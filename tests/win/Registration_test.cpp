#include "com/Registration.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/win/TestSupport.h"

using testing_support::dwordValue;
using testing_support::guidText;
using testing_support::keyExists;
using testing_support::newGuid;
using testing_support::stringValue;

namespace {

const wchar_t* const kModule = L"C:\\Tallowby\\tests\\server.dll";

// Each case registers classes of its own (fresh identifiers), so cases may run in parallel.
class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        cls.clsid = newGuid();
        cls.progId = L"Tallowby.RegistrationTest." + guidText(cls.clsid).substr(1, 8);
        cls.description = L"Registration test class";
        lib = {newGuid(), 1, 0};
        clsidKey = L"CLSID\\" + guidText(cls.clsid);
    }

    void TearDown() override { (void)com::removeKeys(com::classKeys(cls, lib, kModule)); }

    void ExpectNoClassKey() {
        SCOPED_TRACE("no key of the class is left");
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, clsidKey));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, cls.progId));
    }

    com::ClassInfo cls;
    com::TypeLibInfo lib{};
    std::wstring clsidKey;
};

TEST_F(RegistrationTest, ClassKeysCarryEveryValueActivationNeeds) {
    ASSERT_EQ(com::writeKeys(com::classKeys(cls, lib, kModule)), S_OK);
    const HKEY hkcr = HKEY_CLASSES_ROOT;
    EXPECT_EQ(stringValue(hkcr, clsidKey, nullptr), cls.description);
    EXPECT_EQ(stringValue(hkcr, clsidKey + L"\\InprocServer32", nullptr), std::wstring(kModule));
    EXPECT_EQ(stringValue(hkcr, clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(stringValue(hkcr, clsidKey + L"\\ProgID", nullptr), cls.progId);
    EXPECT_EQ(stringValue(hkcr, clsidKey + L"\\TypeLib", nullptr), guidText(lib.libid));
    EXPECT_EQ(stringValue(hkcr, clsidKey + L"\\Version", nullptr), L"1.0");
    EXPECT_EQ(stringValue(hkcr, cls.progId, nullptr), cls.description);
    EXPECT_EQ(stringValue(hkcr, cls.progId + L"\\CLSID", nullptr), guidText(cls.clsid));
    CLSID fromProgId{};
    EXPECT_EQ(CLSIDFromProgID(cls.progId.c_str(), &fromProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(fromProgId, cls.clsid));
}

TEST_F(RegistrationTest, RemovalLeavesNoKeyBehindAndKeepsOtherClasses) {
    const std::wstring neighbour = L"CLSID\\" + guidText(newGuid());
    ASSERT_EQ(com::writeKeys({{HKEY_CLASSES_ROOT, neighbour, {}}}), S_OK);
    ASSERT_EQ(com::writeKeys(com::classKeys(cls, lib, kModule)), S_OK);

    EXPECT_EQ(com::removeKeys(com::classKeys(cls, lib, kModule)), S_OK);
    ExpectNoClassKey();
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, neighbour));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_EQ(com::removeKeys({{HKEY_CLASSES_ROOT, neighbour, {}}}), S_OK);
}

TEST_F(RegistrationTest, RemovalAlsoDeletesWhatOthersAddedUnderOwnedKeys) {
    ASSERT_EQ(com::writeKeys(com::classKeys(cls, lib, kModule)), S_OK);
    ASSERT_EQ(com::writeKeys({{HKEY_CLASSES_ROOT, clsidKey + L"\\Implemented Categories\\{X}", {}}}), S_OK);
    EXPECT_EQ(com::removeKeys(com::classKeys(cls, lib, kModule)), S_OK);
    ExpectNoClassKey();
}

TEST_F(RegistrationTest, AMissingKeyCountsAsRemoved) {
    EXPECT_EQ(com::removeKeys(com::classKeys(cls, lib, kModule)), S_OK);
    ASSERT_EQ(com::writeKeys(com::classKeys(cls, lib, kModule)), S_OK);
    EXPECT_EQ(com::removeKeys(com::classKeys(cls, lib, kModule)), S_OK);
    EXPECT_EQ(com::removeKeys(com::classKeys(cls, lib, kModule)), S_OK);
    ExpectNoClassKey();
}

TEST_F(RegistrationTest, AWriteFailingHalfWayRemovesWhatWasWritten) {
    auto table = com::classKeys(cls, lib, kModule);
    // A key that cannot be created, after the class's keys.
    table.push_back({reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7654321)), L"Nowhere", {}});
    EXPECT_TRUE(FAILED(com::writeKeys(table)));
    ExpectNoClassKey();
}

TEST_F(RegistrationTest, ExtraKeysTakeStringAndNumberValuesAndGoExactly) {
    const std::wstring parent = L"Software\\Tallowby.Tests\\" + guidText(cls.clsid);
    const std::wstring addin = parent + L"\\Addins\\" + cls.progId;
    ASSERT_EQ(com::writeKeys({{HKEY_CURRENT_USER, parent, {}}}), S_OK);

    com::ServerInfo server{lib, {cls}, {{HKEY_CURRENT_USER, addin,
                                          {{L"FriendlyName", std::wstring(L"Tallowby")}, {L"LoadBehavior", DWORD{3}}}},
                                         {HKEY_CLASSES_ROOT, clsidKey + L"\\MiscStatus", {{L"", std::wstring(L"131473")}}}}};
    const auto table = com::serverKeys(server, kModule);
    ASSERT_EQ(com::writeKeys(table), S_OK);
    EXPECT_EQ(stringValue(HKEY_CURRENT_USER, addin, L"FriendlyName"), L"Tallowby");
    EXPECT_EQ(dwordValue(HKEY_CURRENT_USER, addin, L"LoadBehavior"), 3u);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, clsidKey + L"\\MiscStatus", nullptr), L"131473");

    EXPECT_EQ(com::removeKeys(table), S_OK);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, addin));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, parent + L"\\Addins")) << "only owned keys are removed";
    ExpectNoClassKey();
    EXPECT_EQ(com::removeKeys({{HKEY_CURRENT_USER, parent, {}}}), S_OK);
}

// Where each scope puts a class's keys and an entry declared under HKEY_CURRENT_USER (the host's
// add-in list): the table only, nothing written.
TEST_F(RegistrationTest, EachScopePutsClassesAndUserEntriesWhereItSays) {
    const std::wstring entry = L"Software\\Host\\Addins\\" + cls.progId;
    const com::ServerInfo server{lib, {cls}, {{HKEY_CURRENT_USER, entry, {}}, {HKEY_CLASSES_ROOT, clsidKey + L"\\Control", {}}}};
    struct Case {
        com::Scope scope;
        HKEY classRoot;
        const wchar_t* classPrefix;
        HKEY entryRoot;
    };
    const Case cases[] = {
        {com::Scope::Machine, HKEY_CLASSES_ROOT, L"", HKEY_CURRENT_USER},
        {com::Scope::User, HKEY_CURRENT_USER, L"Software\\Classes\\", HKEY_CURRENT_USER},
        {com::Scope::AllUsers, HKEY_CLASSES_ROOT, L"", HKEY_LOCAL_MACHINE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.scope));
        const auto table = com::serverKeys(server, kModule, c.scope);
        ASSERT_EQ(table.size(), 9u);
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_EQ(table[i].root, c.classRoot);
            EXPECT_EQ(table[i].path.rfind(c.classPrefix, 0), 0u);
        }
        EXPECT_EQ(table[0].path, c.classPrefix + clsidKey);
        EXPECT_EQ(table[7].root, c.entryRoot);
        EXPECT_EQ(table[7].path, entry) << "the entry keeps its path";
        EXPECT_EQ(table[8].root, c.classRoot) << "an extra class key follows the classes";
        EXPECT_EQ(table[8].path, c.classPrefix + clsidKey + L"\\Control");
    }
}

TEST(RegistrationScope, DllInstallsCommandLineNamesTheScope) {
    struct Case {
        const wchar_t* commandLine;
        std::optional<com::Scope> scope;
    };
    const Case cases[] = {
        {nullptr, com::Scope::Machine}, {L"", com::Scope::Machine},     {L"user", com::Scope::User},
        {L"USER", com::Scope::User},    {L"machine", com::Scope::AllUsers}, {L"Machine", com::Scope::AllUsers},
        {L"everyone", std::nullopt},    {L"user ", std::nullopt},        {L"machines", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine ? std::string(c.commandLine, c.commandLine + wcslen(c.commandLine)) : "(none)");
        EXPECT_EQ(com::scopeNamed(c.commandLine), c.scope);
    }
}

TEST_F(RegistrationTest, ServerWithoutATypeLibraryFailsAndLeavesNothing) {
    wchar_t system[MAX_PATH];
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring noTypeLib = std::wstring(system) + L"\\kernel32.dll";
    com::ServerInfo server{lib, {cls}, {}};
    EXPECT_TRUE(FAILED(com::registerServer(server, noTypeLib)));
    ExpectNoClassKey();
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + guidText(lib.libid)));
}

TEST(RegistrationGuid, IsSpelledAsTheRegistryDoes) {
    const GUID g = {0x0D4FD15F, 0x7945, 0x4553, {0xB3, 0x19, 0xC8, 0x3A, 0x42, 0xEE, 0x5F, 0x31}};
    EXPECT_EQ(com::guidString(g), L"{0D4FD15F-7945-4553-B319-C83A42EE5F31}");
}

}  // namespace
