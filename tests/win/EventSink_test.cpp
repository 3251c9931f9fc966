#include "com/EventSink.h"

#include <gtest/gtest.h>

#include <olectl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/HostError.h"
#include "com/Strings.h"
#include "tests/win/TestSupport.h"
#include "tests/win/server/TestObject.h"

using com::ComPtr;
using com::EventArgs;
using com::Subscription;

namespace {

const DISPID kBefore = 1;

struct Received {
    DISPID id;
    std::u16string what;
    LONG count;
};

class EventSinkTest : public ::testing::Test {
protected:
    testing_support::Apartment apartment;
    ComPtr<TestObject> source = com::make<TestObject>();
    std::vector<Received> received;

    LONG connections() {
        LONG n = -1;
        EXPECT_EQ(source->get_Connections(&n), S_OK);
        return n;
    }

    // Fires Before(what, count, cancel) and returns the cancel flag the sinks left.
    bool raise(const wchar_t* what = L"item", LONG count = 3) {
        SCOPED_TRACE("raise Before");
        com::Bstr text(com::fromWide(what));
        VARIANT_BOOL cancelled = VARIANT_TRUE;
        EXPECT_EQ(source->RaiseBefore(text.get(), count, &cancelled), S_OK);
        return cancelled != VARIANT_FALSE;
    }

    Subscription subscribe(bool cancel = false) {
        return Subscription::subscribe(source->identity(), __uuidof(_TallowbyTestEvents),
                                       [this, cancel](DISPID id, EventArgs& args) {
                                           received.push_back({id, com::fromBstr(V_BSTR(&args[0])), V_I4(&args[1])});
                                           if (cancel) args.setBoolean(2, true);
                                       });
    }
};

TEST_F(EventSinkTest, EventsArriveByIdWithArgumentsInDeclarationOrder) {
    auto subscription = subscribe();
    EXPECT_FALSE(raise(L"mail", 7));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].id, kBefore);
    EXPECT_EQ(received[0].what, u"mail");
    EXPECT_EQ(received[0].count, 7);
}

TEST_F(EventSinkTest, AByReferenceBooleanIsWrittenBackToTheSource) {
    auto subscription = subscribe(true);
    EXPECT_TRUE(raise());
}

TEST_F(EventSinkTest, ResetUnadvisesAndLaterEventsAreNotDelivered) {
    auto subscription = subscribe();
    EXPECT_EQ(connections(), 1);
    subscription.reset();
    EXPECT_FALSE(subscription);
    EXPECT_EQ(connections(), 0);
    (void)raise();
    EXPECT_TRUE(received.empty());
}

TEST_F(EventSinkTest, DestructionUnadvisesAndFreesTheSink) {
    const long before = com::Module::lockCount();
    { auto subscription = subscribe(); }
    EXPECT_EQ(connections(), 0);
    EXPECT_EQ(com::Module::lockCount(), before) << "the sink object is gone";
}

TEST_F(EventSinkTest, AMovedSubscriptionStaysOneConnection) {
    auto first = subscribe();
    Subscription second = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_EQ(connections(), 1);
    first = std::move(second);
    EXPECT_EQ(connections(), 1);
    (void)raise();
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(EventSinkTest, TheSubscriptionKeepsTheSourceAliveUntilItUnadvises) {
    auto subscription = subscribe();
    TestObject* raw = source.get();
    source.reset();
    // The connection point holds the source: the subscription can still unadvise safely.
    LONG n = -1;
    EXPECT_EQ(raw->get_Connections(&n), S_OK);
    EXPECT_EQ(n, 1);
}

TEST_F(EventSinkTest, AnUnofferedDispinterfaceIsNoConnection) {
    try {
        (void)Subscription::subscribe(source->identity(), IID_IPropertyNotifySink, [](DISPID, EventArgs&) {});
        ADD_FAILURE() << "expected HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, CONNECT_E_NOCONNECTION);
    }
}

TEST_F(EventSinkTest, ASourceWithoutConnectionPointsIsNoInterface) {
    testing_support::CountingUnknown plain;
    try {
        (void)Subscription::subscribe(&plain, __uuidof(_TallowbyTestEvents), [](DISPID, EventArgs&) {});
        ADD_FAILURE() << "expected HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, E_NOINTERFACE);
    }
    EXPECT_EQ(plain.refs, 1u);
}

TEST_F(EventSinkTest, AHandlerThatThrowsDoesNotEscapeTheSink) {
    auto sink = com::make<com::EventSink>(__uuidof(_TallowbyTestEvents),
                                          [](DISPID, EventArgs&) { throw std::runtime_error("handler"); });
    DISPPARAMS none{};
    EXPECT_EQ(sink->Invoke(kBefore, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), E_UNEXPECTED);

    auto subscription = Subscription::advise(source->identity(), __uuidof(_TallowbyTestEvents), sink->identity());
    EXPECT_FALSE(raise()) << "the source goes on after a failing sink";
}

TEST_F(EventSinkTest, WritingBackABooleanPassedByValueIsATypeMismatch) {
    auto sink = com::make<com::EventSink>(__uuidof(_TallowbyTestEvents),
                                          [](DISPID, EventArgs& args) { args.setBoolean(0, true); });
    VARIANT arg;
    V_VT(&arg) = VT_BOOL;
    V_BOOL(&arg) = VARIANT_FALSE;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    EXPECT_EQ(sink->Invoke(kBefore, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              DISP_E_TYPEMISMATCH);
}

TEST_F(EventSinkTest, TheSinkAnswersForItsDispinterface) {
    auto sink = com::make<com::EventSink>(__uuidof(_TallowbyTestEvents), [](DISPID, EventArgs&) {});
    void* out = nullptr;
    ASSERT_EQ(sink->QueryInterface(__uuidof(_TallowbyTestEvents), &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(sink->identity()));
    static_cast<IUnknown*>(out)->Release();
    EXPECT_EQ(sink->QueryInterface(IID_IPropertyNotifySink, &out), E_NOINTERFACE);
}

// ---- ending the subscription, or releasing the source, while the sink runs

TEST_F(EventSinkTest, AHandlerThatEndsItsSubscriptionKeepsItsSinkUntilItReturns) {
    Subscription subscription;
    long whileRunning = -1;
    long afterReset = -1;
    auto sink = com::make<com::EventSink>(__uuidof(_TallowbyTestEvents), [&](DISPID, EventArgs&) {
        whileRunning = com::Module::lockCount();
        subscription.reset();  // the source lets go of the sink
        afterReset = com::Module::lockCount();
    });
    subscription = Subscription::advise(source->identity(), __uuidof(_TallowbyTestEvents), sink->identity());
    // A source that holds no reference of its own while it calls: only its connection point holds the sink.
    IDispatch* raw = sink.get();
    sink.reset();
    const long before = com::Module::lockCount();
    DISPPARAMS none{};
    EXPECT_EQ(raw->Invoke(kBefore, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(afterReset, whileRunning) << "the sink was freed while its handler ran";
    EXPECT_EQ(com::Module::lockCount(), before - 1) << "the sink is freed once the handler has returned";
}

TEST_F(EventSinkTest, ASinkThatReleasesTheSourceLeavesItAliveUntilTheEventReturns) {
    Subscription subscription;
    long whileRunning = -1;
    long afterRelease = -1;
    subscription = subscribe();
    Subscription second =
        Subscription::subscribe(source->identity(), __uuidof(_TallowbyTestEvents), [&](DISPID, EventArgs&) {
            whileRunning = com::Module::lockCount();
            subscription.reset();
            source.reset();  // the last reference: only the subscription being run holds the source now
            second.reset();
            afterRelease = com::Module::lockCount();
        });
    TestObject* raw = source.get();
    const long before = com::Module::lockCount();
    com::Bstr text(u"item");
    VARIANT_BOOL cancelled = VARIANT_TRUE;
    EXPECT_EQ(raw->RaiseBefore(text.get(), 1, &cancelled), S_OK);
    // The sink objects went with their subscriptions; the source and its point stayed for the call.
    EXPECT_EQ(afterRelease, whileRunning) << "the source was freed while it raised the event";
    EXPECT_EQ(com::Module::lockCount(), before - 3) << "the source is freed once the event has returned";
}

TEST(EventArgs, IndexInDeclarationOrderAndCheckTheCount) {
    VARIANT args[2];
    V_VT(&args[0]) = VT_I4;  // the last argument
    V_I4(&args[0]) = 2;
    V_VT(&args[1]) = VT_BOOL;
    V_BOOL(&args[1]) = VARIANT_TRUE;
    DISPPARAMS params{args, nullptr, 2, 0};
    EventArgs view(params);
    EXPECT_EQ(view.size(), 2u);
    EXPECT_TRUE(view.boolean(0));
    EXPECT_EQ(V_I4(&view[1]), 2);
    try {
        (void)view[2];
        ADD_FAILURE() << "expected HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, DISP_E_BADPARAMCOUNT);
    }
}

}  // namespace
