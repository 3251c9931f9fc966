#include <gtest/gtest.h>

#include "tests/core/Session.h"

using namespace addin;

TEST(ConnectOnConnection, UnreadableProgIdFailsBeforeAnythingIsCreated) {
    Session s;
    s.host.ledger().FailMember("AddInInstance.ProgId", HostStatus::MemberNotFound);
    addin::Connect addIn(s.platform);
    try {
        addIn.OnConnection(s.host.Application(), 1, s.host.AddInInstance(u"Tallowby.Connect"));
        FAIL() << "connected";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::MemberNotFound);
    }
    EXPECT_FALSE(addIn.HasEventManager());
    EXPECT_EQ(s.platform.reads, 0);
    EXPECT_EQ(s.host.ledger().Calls(), std::vector<std::string>{"AddInInstance.ProgId"});
}

TEST(ConnectOnConnection, AnObjectThatIsNotTheApplicationFailsTheConnection) {
    Session s;
    addin::Connect addIn(s.platform);
    try {
        addIn.OnConnection(s.host.ItemObject(Session::Mail(true)), 1, s.host.AddInInstance(u"Tallowby.Connect"));
        FAIL() << "connected";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::NoInterface);
    }
    EXPECT_EQ(s.platform.reads, 0);  // InitHandler never ran
}

TEST(ConnectOnConnection, TheButtonRoutesToTheProgIdTheHostReports) {
    Session s;
    s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect(u"Other.Loader");
    ASSERT_EQ(s.Buttons().size(), 1u);
    EXPECT_EQ(s.Buttons()[0]->onAction, u"!<Other.Loader>");
}

TEST(ConnectOnConnection, ANewConnectionHasNotSeenTheHostRefuseShortcuts) {
    Session s;
    Preferences::SetShortcutsRefused(true);
    s.Connect();
    EXPECT_FALSE(Preferences::ShortcutsRefused());
}

TEST(ConnectNotices, AddInsUpdateAndStartupCompleteDoNothing) {
    Session s;
    s.Connect();
    s.host.ledger().ClearCalls();
    s.addIn->OnAddInsUpdate();
    s.addIn->OnStartupComplete();
    EXPECT_TRUE(s.host.ledger().Calls().empty());
    EXPECT_TRUE(s.platform.saved.empty());
}

TEST(ConnectNotices, ShutdownWithoutConnectionSavesTheUnloadedValue) {
    Session s;
    addin::Connect addIn(s.platform);
    addIn.OnBeginShutdown();
    addIn.OnDisconnection(0);
    EXPECT_TRUE(addIn.HasEventManager());
    EXPECT_EQ(s.platform.saved, std::vector<std::u16string>{u"False"});
}

TEST(ConnectNotices, ReconnectingAfterUnloadMakesNoSecondEventManagerState) {
    Session s;
    const auto ins = s.host.OpenInspector(Session::Mail(true, {1}));
    s.Connect();
    s.addIn->OnDisconnection(1);
    ASSERT_TRUE(Session::ButtonsIn(*ins).empty());
    s.addIn->OnConnection(s.host.Application(), 0, s.host.AddInInstance(u"Tallowby.Connect"));
    EXPECT_EQ(Session::ButtonsIn(*ins).size(), 1u);
    EXPECT_EQ(s.Toolbars().size(), 1u);
}
