#include "platform/component.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWidget>
#include <filesystem>

#include "platform/dynamic_library.h"
#include "platform/settings_store.h"
#include "scrivel/scrivel_ids.h"
#include "scrivel/scrivel_interface.h"
#include "support/test_support.h"

namespace {

using zelvor::test::ScopedConfigHome;

std::string LibraryPath() { return zelvor::test::BinDir() + "/libscrivel.so"; }

class ScrivelComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(LibraryPath()));
    }
    ScopedConfigHome home_;
};

TEST_F(ScrivelComponentTest, RegistrationRecordsClassIdAndLibraryPath) {
    std::string error;
    ASSERT_TRUE(zelvor::RegisterComponentLibrary(LibraryPath(), &error)) << error;
    const auto library = zelvor::RegisteredComponentLibrary(scrivel::SCRIVEL_CLASS_ID);
    ASSERT_TRUE(library);
    EXPECT_EQ(*library, std::filesystem::canonical(LibraryPath()).string());
    EXPECT_EQ(zelvor::ClassIdFromProgId(scrivel::SCRIVEL_PROG_ID), scrivel::SCRIVEL_CLASS_ID);
    // Written to the isolated settings store.
    const auto store = zelvor::SettingsStore::ForApplication("Cobrant", "Classes");
    EXPECT_EQ(store.FilePath().rfind(home_.Path(), 0), 0u);
    EXPECT_TRUE(store.GroupExists(std::string("CLSID/") + scrivel::SCRIVEL_CLASS_ID));

    zelvor::DynamicLibrary scrivel(LibraryPath());
    auto unregister = scrivel.Resolve<zelvor::DllUnregisterServerFunction>("DllUnregisterServer");
    ASSERT_NE(unregister, nullptr);
    EXPECT_EQ(unregister(), zelvor::COMPONENT_OK);
    EXPECT_FALSE(zelvor::RegisteredComponentLibrary(scrivel::SCRIVEL_CLASS_ID));
    EXPECT_FALSE(zelvor::ClassIdFromProgId(scrivel::SCRIVEL_PROG_ID));
}

TEST_F(ScrivelComponentTest, CreatesTheControlByClassIdAndReachesItsInterface) {
    ASSERT_TRUE(zelvor::RegisterComponentLibrary(LibraryPath()));
    QWidget parent;
    std::string error;
    QWidget* widget = zelvor::CreateComponent(scrivel::SCRIVEL_CLASS_ID, &parent, &error);
    ASSERT_NE(widget, nullptr) << error;
    EXPECT_EQ(widget->parentWidget(), &parent);

    zelvor::DynamicLibrary scrivel(LibraryPath());
    auto canUnload = scrivel.Resolve<zelvor::DllCanUnloadNowFunction>("DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), zelvor::COMPONENT_FALSE);

    auto* control = qobject_cast<IScrivel*>(widget);
    ASSERT_NE(control, nullptr);
    control->SetRange(0, 100);
    control->SetDescription("x=");
    control->SetScrollValue(50);
    QSignalSpy spy(widget, SIGNAL(NewValue(double)));
    auto* up = widget->findChild<QToolButton*>("up");
    ASSERT_NE(up, nullptr);
    QTest::mouseClick(up, Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_GT(spy.at(0).at(0).toDouble(), 50.0);
    EXPECT_EQ(control->GetScrollValue(), spy.at(0).at(0).toDouble());

    delete widget;
    EXPECT_EQ(canUnload(), zelvor::COMPONENT_OK);
}

TEST_F(ScrivelComponentTest, ThePropertyPageGeneralIsRegisteredWithTheControl) {
    ASSERT_TRUE(zelvor::RegisterComponentLibrary(LibraryPath()));
    EXPECT_EQ(zelvor::ClassIdFromProgId(scrivel::SCRIVEL_PROPPAGE_PROG_ID), scrivel::SCRIVEL_PROPPAGE_CLASS_ID);
    QWidget parent;
    std::string error;
    QWidget* page = zelvor::CreateComponent(scrivel::SCRIVEL_PROPPAGE_CLASS_ID, &parent, &error);
    ASSERT_NE(page, nullptr) << error;
    EXPECT_EQ(page->windowTitle().toStdString(), "General");
    delete page;

    zelvor::DynamicLibrary scrivel(LibraryPath());
    auto unregister = scrivel.Resolve<zelvor::DllUnregisterServerFunction>("DllUnregisterServer");
    ASSERT_EQ(unregister(), zelvor::COMPONENT_OK);
    EXPECT_FALSE(zelvor::ClassIdFromProgId(scrivel::SCRIVEL_PROPPAGE_PROG_ID));
}

TEST_F(ScrivelComponentTest, UnknownOrBrokenRegistrationsFailCleanly) {
    std::string error;
    EXPECT_EQ(zelvor::CreateComponent("{00000000-0000-0000-0000-000000000000}", nullptr, &error), nullptr);
    EXPECT_NE(error.find("not registered"), std::string::npos);
    EXPECT_EQ(zelvor::CreateComponent("", nullptr, &error), nullptr);
    EXPECT_EQ(zelvor::CreateComponent("../x", nullptr, &error), nullptr);

    // Registered, but the library is gone.
    ASSERT_TRUE(zelvor::RegisterComponentClass("{11111111-1111-1111-1111-111111111111}", "Gone.Ctrl.1",
                                               home_.Path() + "/libgone.so"));
    error.clear();
    EXPECT_EQ(zelvor::CreateComponent("{11111111-1111-1111-1111-111111111111}", nullptr, &error), nullptr);
    EXPECT_FALSE(error.empty());

    // Registered to a library that does not have that class.
    ASSERT_TRUE(zelvor::RegisterComponentClass("{22222222-2222-2222-2222-222222222222}", "Other.Ctrl.1",
                                               LibraryPath()));
    error.clear();
    EXPECT_EQ(zelvor::CreateComponent("{22222222-2222-2222-2222-222222222222}", nullptr, &error), nullptr);
    EXPECT_NE(error.find("not available"), std::string::npos);

    zelvor::DynamicLibrary scrivel(LibraryPath());
    auto getClassObject = scrivel.Resolve<zelvor::DllGetClassObjectFunction>("DllGetClassObject");
    ASSERT_NE(getClassObject, nullptr);
    zelvor::IClassFactory* factory = reinterpret_cast<zelvor::IClassFactory*>(1);
    EXPECT_EQ(getClassObject("{22222222-2222-2222-2222-222222222222}", &factory),
              zelvor::COMPONENT_CLASS_NOT_AVAILABLE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(getClassObject(nullptr, &factory), zelvor::COMPONENT_CLASS_NOT_AVAILABLE);
    EXPECT_EQ(getClassObject(scrivel::SCRIVEL_CLASS_ID, nullptr), zelvor::COMPONENT_CLASS_NOT_AVAILABLE);
    // Class ids compare without regard to case.
    EXPECT_EQ(getClassObject("{fc39737b-6778-4007-b7d3-daa369cff3c8}", &factory), zelvor::COMPONENT_OK);
    EXPECT_NE(factory, nullptr);
}

}  // namespace
