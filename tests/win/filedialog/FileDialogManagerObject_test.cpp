// FileDialogManager's COM face as the save procedure's caller meets it: the real dialog through
// _FileDialogManager with this module's FileNameMangler, the in/out flags as VARIANT_BOOL, and the
// refusals of a missing or foreign mangler and of a second dialog.
#include "addin/win/FileDialogManagerObject.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "addin/win/AddInClasses.h"
#include "addin/win/FileDialogHook.h"
#include "addin/win/FileNameManglerObject.h"
#include "com/ComPtr.h"
#include "com/Strings.h"
#include "standin/win/SaveAsRobot.h"
#include "tests/win/TestSupport.h"
#include "tests/win/filedialog/FileDialogTestSupport.h"

using namespace addin;
using namespace addin::win;
using namespace filedialog_tests;
using com::ComPtr;
using standin::win::SaveAsRobot;

namespace {

// A _FileNameMangler that is not this module's: the dialog cannot reach a core mangler behind it.
class ForeignMangler final : public com::ComObject<com::DispatchImpl<_FileNameMangler>> {
public:
    STDMETHODIMP get_mItem(IDispatch**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP putref_mItem(IDispatch*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetFileNameMangling(BSTR*, BSTR*, _NameCollection**) noexcept override { return E_NOTIMPL; }

protected:
    ~ForeignMangler() override = default;
};

class FileDialogManagerObjectTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(apartment.hr, S_OK); }

    testing_support::Apartment apartment;
    ComPtr<addin::win::FileDialogManagerObject> dialogs = com::make<addin::win::FileDialogManagerObject>();
    ComPtr<addin::win::FileNameManglerObject> mangler = com::make<addin::win::FileNameManglerObject>(addin::win::AddInModule::Instance());
};

}  // namespace

TEST_F(FileDialogManagerObjectTest, ShowsTheDialogAndAnswersPathAndFlags) {
    TempFolder folder;
    HRESULT hr = E_FAIL;
    com::Bstr path;
    VARIANT_BOOL replace = VARIANT_TRUE;
    VARIANT_BOOL open = VARIANT_FALSE;
    standin::win::UiThread thread([&] {
        const com::Bstr name(u"report.doc");
        hr = dialogs->GetSaveAsPath(name.get(), mangler.get(), 2, 3, &replace, &open, path.put());
    });
    SaveAsRobot robot = SaveAsRobot::ForThread(thread.Id());
    robot.WaitForDialog();
    EXPECT_EQ(robot.Title(), u"Save attachment (2/3)");
    EXPECT_TRUE(robot.IsChecked(FileDialogHook::ReplaceWithLinkId));

    // One dialog at a time, also through the interface.
    VARIANT_BOOL r = VARIANT_FALSE;
    VARIANT_BOOL o = VARIANT_FALSE;
    com::Bstr other;
    EXPECT_EQ(dialogs->GetSaveAsPath(nullptr, mangler.get(), 1, 1, &r, &o, other.put()), FileDialogBusyStatus);

    robot.Click(FileDialogHook::OpenAfterSavingId);
    robot.TypeFileName(folder.Child(u"report.doc"));
    robot.Save();
    thread.Join();
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(path.str(), folder.Child(u"report.doc"));
    EXPECT_EQ(replace, VARIANT_TRUE);
    EXPECT_EQ(open, VARIANT_TRUE);
}

TEST_F(FileDialogManagerObjectTest, MissingOrForeignManglerAndMissingOutValuesAreRefused) {
    VARIANT_BOOL replace = VARIANT_FALSE;
    VARIANT_BOOL open = VARIANT_FALSE;
    BSTR path = nullptr;
    EXPECT_EQ(dialogs->GetSaveAsPath(nullptr, nullptr, 1, 1, &replace, &open, &path), E_POINTER);
    const auto foreign = com::make<ForeignMangler>();
    EXPECT_EQ(dialogs->GetSaveAsPath(nullptr, foreign.get(), 1, 1, &replace, &open, &path), E_NOINTERFACE);
    EXPECT_EQ(path, nullptr);
    EXPECT_EQ(dialogs->GetSaveAsPath(nullptr, mangler.get(), 1, 1, nullptr, &open, &path), E_POINTER);
    EXPECT_EQ(dialogs->GetSaveAsPath(nullptr, mangler.get(), 1, 1, &replace, nullptr, &path), E_POINTER);
    EXPECT_EQ(dialogs->GetSaveAsPath(nullptr, mangler.get(), 1, 1, &replace, &open, nullptr), E_POINTER);
    EXPECT_EQ(FileDialogHook::dialogOpen, false) << "no refusal leaves the dialog state taken";
}
