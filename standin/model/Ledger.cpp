#include "Ledger.h"

#include <algorithm>

#include "base/HostError.h"

namespace standin {

namespace {
std::u16string Widen(std::string_view s) { return {s.begin(), s.end()}; }
}  // namespace

void Ledger::Enter(std::string_view member) {
    ++callCount_;
    calls_.emplace_back(member);
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

void Ledger::ClearFailures() {
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
