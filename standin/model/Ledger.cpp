#include "standin/model/Ledger.h"

#include <algorithm>
#include <utility>

#include "base/HostError.h"

namespace standin {

namespace {
std::u16string Widen(std::string_view s) { return {s.begin(), s.end()}; }
}  // namespace

void Ledger::Enter(std::string_view member) {
    ++callCount_;
    calls_.emplace_back(member);
    // A write fault counts every call of its member, as the other counted failures do; the first one
    // due applies to this call's write (WriteLimit).
    armedMember_.clear();
    armedWrite_.reset();
    for (auto it = writeFaults_.begin(); it != writeFaults_.end();) {
        const bool due = it->member == member && (it->left == 0 || --it->left == 0);
        if (due && !armedWrite_) {
            armedWrite_ = it->failure;
            armedMember_ = it->member;
        }
        it = due && it->left == 0 && it->counted ? writeFaults_.erase(it) : it + 1;
    }
    if (const auto before = std::find_if(beforeCalls_.begin(), beforeCalls_.end(),
                                         [&](const auto& b) { return b.first == member; });
        before != beforeCalls_.end()) {
        const std::function<void()> action = std::move(before->second);
        beforeCalls_.erase(before);
        action();
    }
    const auto at = std::find_if(failAtCall_.begin(), failAtCall_.end(),
                                 [this](const auto& f) { return f.first == callCount_; });
    if (at != failAtCall_.end()) {
        const int32_t status = at->second;
        failAtCall_.erase(at);
        throw HostError(status, u"Injected failure of " + Widen(member));
    }
    if (const auto it = failMember_.find(member); it != failMember_.end())
        throw HostError(it->second, u"Injected failure of " + Widen(member));
    for (auto it = failMemberAt_.begin(); it != failMemberAt_.end(); ++it) {
        if (it->member != member || --it->left > 0) continue;
        const int32_t status = it->status;
        failMemberAt_.erase(it);
        throw HostError(status, u"Injected failure of " + Widen(member));
    }
}

bool Ledger::Nothing(std::string_view member) {
    ++objectCallCount_;
    if (std::find(objectMembers_.begin(), objectMembers_.end(), member) == objectMembers_.end())
        objectMembers_.emplace_back(member);
    if (const auto at = std::find(nothingAtCall_.begin(), nothingAtCall_.end(), objectCallCount_);
        at != nothingAtCall_.end()) {
        nothingAtCall_.erase(at);
        return true;
    }
    return std::find(nothingFrom_.begin(), nothingFrom_.end(), member) != nothingFrom_.end();
}

void Ledger::NothingAtCall(int64_t nth) { nothingAtCall_.push_back(objectCallCount_ + nth); }

void Ledger::NothingFrom(std::string member) { nothingFrom_.push_back(std::move(member)); }

void Ledger::FailCall(int64_t nth, int32_t status) { failAtCall_.emplace_back(callCount_ + nth, status); }

void Ledger::FailMember(std::string member, int32_t status, int64_t nth) {
    if (nth > 0)
        failMemberAt_.push_back({std::move(member), nth, status});
    else
        failMember_[std::move(member)] = status;
}

void Ledger::FailWriteAfter(std::string member, int64_t bytes, int32_t status, int64_t nth) {
    writeFaults_.push_back({std::move(member), nth, nth > 0, {bytes, status}});
}

void Ledger::WriteNothing(std::string member, int64_t nth) {
    writeFaults_.push_back({std::move(member), nth, nth > 0, {-1, 0}});
}

std::optional<Ledger::WriteFailure> Ledger::WriteLimit(std::string_view member) {
    if (armedMember_ != member) return std::nullopt;
    armedMember_.clear();
    return std::exchange(armedWrite_, std::nullopt);
}

void Ledger::BeforeNextCall(std::string member, std::function<void()> action) {
    beforeCalls_.emplace_back(std::move(member), std::move(action));
}

std::vector<std::string> Ledger::TakeUnusedBeforeCalls() {
    std::vector<std::string> unused;
    for (auto& [member, action] : beforeCalls_) unused.push_back(member);
    beforeCalls_.clear();
    return unused;
}

void Ledger::ClearFailures() {
    writeFaults_.clear();
    failAtCall_.clear();
    failMember_.clear();
    failMemberAt_.clear();
    nothingAtCall_.clear();
    nothingFrom_.clear();
}

void Ledger::Acquire(const std::string& kind) { ++live_[kind]; }

void Ledger::Release(const std::string& kind) noexcept {
    if (const auto it = live_.find(kind); it != live_.end()) --it->second;
}

std::map<std::string, int> Ledger::Live() const {
    std::map<std::string, int> held;
    for (const auto& [kind, count] : live_)
        if (count != 0) held.emplace(kind, count);
    return held;
}

int Ledger::LiveCount() const {
    int total = 0;
    for (const auto& entry : live_) total += entry.second;
    return total;
}

}  // namespace standin
