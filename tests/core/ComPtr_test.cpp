#include "com/ComPtr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using com::ComPtr;

namespace {

// A reference-counted fake that logs every AddRef and Release, in order, across objects.
struct Counted {
    Counted(std::string name_, std::vector<std::string>& log_) : name(std::move(name_)), log(log_) {}
    virtual ~Counted() = default;

    unsigned long AddRef() {
        log.push_back("AddRef " + name);
        return ++refs;
    }
    unsigned long Release() {
        log.push_back("Release " + name);
        return --refs;
    }

    std::string name;
    std::vector<std::string>& log;
    unsigned long refs = 1;
};

struct Derived : Counted {
    using Counted::Counted;
};

class ComPtrTest : public ::testing::Test {
protected:
    std::vector<std::string> log;
    Counted a{"a", log};
    Counted b{"b", log};

    void ExpectLog(const std::vector<std::string>& expected) {
        SCOPED_TRACE("reference log");
        EXPECT_EQ(log, expected);
        log.clear();
    }
};

TEST_F(ComPtrTest, ConstructionFromRawPointerShares) {
    {
        ComPtr<Counted> p(&a);
        EXPECT_EQ(a.refs, 2u);
        EXPECT_EQ(p.get(), &a);
    }
    EXPECT_EQ(a.refs, 1u);
    ExpectLog({"AddRef a", "Release a"});
}

TEST_F(ComPtrTest, AdoptTakesTheReferenceWithoutAddRef) {
    a.refs = 2;
    {
        auto p = ComPtr<Counted>::adopt(&a);
        EXPECT_EQ(a.refs, 2u);
    }
    EXPECT_EQ(a.refs, 1u);
    ExpectLog({"Release a"});
}

TEST_F(ComPtrTest, EmptyPointerTouchesNothing) {
    {
        ComPtr<Counted> p;
        ComPtr<Counted> q(nullptr);
        ComPtr<Counted> r(p);
        r = std::move(q);
        EXPECT_FALSE(p);
        EXPECT_TRUE(p == nullptr);
    }
    ExpectLog({});
}

TEST_F(ComPtrTest, CopyAddsAReference) {
    auto p = ComPtr<Counted>::adopt(&a);
    ComPtr<Counted> q(p);
    EXPECT_EQ(a.refs, 2u);
    EXPECT_TRUE(p == q);
    ExpectLog({"AddRef a"});
}

TEST_F(ComPtrTest, CopyAssignmentAddsTheNewBeforeReleasingTheOld) {
    a.refs = b.refs = 2;
    auto p = ComPtr<Counted>::adopt(&a);
    auto q = ComPtr<Counted>::adopt(&b);
    p = q;
    ExpectLog({"AddRef b", "Release a"});
    EXPECT_EQ(a.refs, 1u);
    EXPECT_EQ(b.refs, 3u);
}

TEST_F(ComPtrTest, SelfCopyAssignmentKeepsTheCount) {
    a.refs = 2;
    auto p = ComPtr<Counted>::adopt(&a);
    auto& alias = p;
    p = alias;
    EXPECT_EQ(a.refs, 2u);
    EXPECT_EQ(p.get(), &a);
}

TEST_F(ComPtrTest, MoveConstructionTransfersWithoutCounting) {
    auto p = ComPtr<Counted>::adopt(&a);
    ComPtr<Counted> q(std::move(p));
    EXPECT_EQ(p.get(), nullptr);
    EXPECT_EQ(q.get(), &a);
    EXPECT_EQ(a.refs, 1u);
    ExpectLog({});
}

TEST_F(ComPtrTest, MoveAssignmentReleasesOnlyTheOldTarget) {
    a.refs = b.refs = 2;
    auto p = ComPtr<Counted>::adopt(&a);
    auto q = ComPtr<Counted>::adopt(&b);
    p = std::move(q);
    EXPECT_EQ(q.get(), nullptr);
    EXPECT_EQ(p.get(), &b);
    EXPECT_EQ(b.refs, 2u);
    ExpectLog({"Release a"});
}

TEST_F(ComPtrTest, SelfMoveAssignmentKeepsTheObject) {
    a.refs = 2;
    auto p = ComPtr<Counted>::adopt(&a);
    auto& alias = p;
    p = std::move(alias);
    EXPECT_EQ(p.get(), &a);
    EXPECT_EQ(a.refs, 2u);
    ExpectLog({});
}

TEST_F(ComPtrTest, ConvertingMoveFromDerivedTransfers) {
    std::vector<std::string> own;
    Derived d("d", own);
    auto p = ComPtr<Derived>::adopt(&d);
    ComPtr<Counted> base(std::move(p));
    EXPECT_EQ(base.get(), &d);
    EXPECT_EQ(d.refs, 1u);
    EXPECT_TRUE(own.empty());
    ComPtr<Counted> copy(base);
    EXPECT_EQ(d.refs, 2u);
}

TEST_F(ComPtrTest, AttachTakesOverAndReleasesThePrevious) {
    a.refs = b.refs = 2;
    auto p = ComPtr<Counted>::adopt(&a);
    p.attach(&b);
    EXPECT_EQ(p.get(), &b);
    EXPECT_EQ(b.refs, 2u);
    ExpectLog({"Release a"});
}

TEST_F(ComPtrTest, DetachGivesUpWithoutRelease) {
    auto p = ComPtr<Counted>::adopt(&a);
    Counted* raw = p.detach();
    EXPECT_EQ(raw, &a);
    EXPECT_FALSE(p);
    EXPECT_EQ(a.refs, 1u);
    ExpectLog({});
}

TEST_F(ComPtrTest, PutReleasesFirstAndReturnsAnEmptySlot) {
    a.refs = 2;
    auto p = ComPtr<Counted>::adopt(&a);
    Counted** slot = p.put();
    ExpectLog({"Release a"});
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(*slot, nullptr);
    *slot = &b;  // what an out-parameter does
    EXPECT_EQ(p.get(), &b);
    (void)p.detach();
}

TEST_F(ComPtrTest, ShareAddsTheNewBeforeReleasingTheOld) {
    a.refs = 2;
    auto p = ComPtr<Counted>::adopt(&a);
    p.share(&b);
    ExpectLog({"AddRef b", "Release a"});
    EXPECT_EQ(b.refs, 2u);
}

TEST_F(ComPtrTest, EqualityComparesThePointers) {
    a.refs = 3;
    auto p = ComPtr<Counted>::adopt(&a);
    auto q = ComPtr<Counted>::adopt(&a);
    ComPtr<Counted> r(&b);
    EXPECT_TRUE(p == q);
    EXPECT_FALSE(p == r);
    EXPECT_TRUE(p == &a);
    EXPECT_FALSE(p == nullptr);
    EXPECT_TRUE(p != r);
}

TEST_F(ComPtrTest, DestructionReleasesExactlyOnce) {
    a.refs = 2;
    { auto p = ComPtr<Counted>::adopt(&a); }
    ExpectLog({"Release a"});
    EXPECT_EQ(a.refs, 1u);
}

}  // namespace
