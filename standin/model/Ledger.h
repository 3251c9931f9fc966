#pragma once
// The in-memory host's record of calls made into it: failure injection and live-object accounting.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

/// Every call into a host object passes through Enter with the member's name
/// ("Interface.Member", "Interface.Member=" for a property put). The ledger logs the call and
/// throws HostError when a failure was injected for it; a member that returns an object asks
/// Nothing next, which may make it return Nothing instead. It also counts, per kind, the host
/// object references handed out and not yet released.
class Ledger {
public:
    /// Logs a call of `member`; throws HostError when an injected failure applies to it.
    void Enter(std::string_view member);
    /// For a call of `member` that returns an object (after Enter): true when it is to return
    /// Nothing instead.
    bool Nothing(std::string_view member);

    /// Makes the `nth` call from now fail with `status` (1 = the next call).
    void FailCall(int64_t nth, int32_t status);
    /// Makes every call of `member` fail with `status` until ClearFailures; with `nth`, only the
    /// `nth` call of it from now.
    void FailMember(std::string member, int32_t status, int64_t nth = 0);
    /// Makes every call of `member` that writes a file (Attachment.SaveAsFile) write only the first
    /// `bytes` bytes of it and then fail with `status`, until ClearFailures; with `nth`, only the
    /// `nth` call of it from now. The call first passes Enter as any other.
    void FailWriteAfter(std::string member, int64_t bytes, int32_t status, int64_t nth = 0);
    /// Makes the `nth` call of `member` that writes a file (every call, without `nth`) report
    /// success and write no file, as a host may.
    void WriteNothing(std::string member, int64_t nth = 0);
    /// For a call of `member` that writes a file, right after its Enter: the bytes it writes before
    /// it fails (WriteFailure::bytes; negative: it writes no file and succeeds), or nothing when it
    /// writes the whole file.
    struct WriteFailure {
        int64_t bytes;
        int32_t status;
    };
    std::optional<WriteFailure> WriteLimit(std::string_view member);
    /// Makes the `nth` call from now of a member that returns an object return Nothing.
    void NothingAtCall(int64_t nth);
    /// Makes every call of `member` that returns an object return Nothing until ClearFailures.
    void NothingFrom(std::string member);
    void ClearFailures();

    /// Runs `action` when `member` is next called, before the call does anything (something that
    /// happens on the computer just then, e.g. a folder removed before a write).
    void BeforeNextCall(std::string member, std::function<void()> action);
    /// The members whose BeforeNextCall action has not run yet; forgets them.
    std::vector<std::string> TakeUnusedBeforeCalls();

    /// Calls so far, and calls of members that return an object, since the ledger was made.
    int64_t CallCount() const { return callCount_; }
    int64_t ObjectCallCount() const { return objectCallCount_; }
    /// Each member that returned an object so far, once, in the order first called.
    const std::vector<std::string>& ObjectMembers() const { return objectMembers_; }

    /// The members called, in order, since the last ClearCalls.
    const std::vector<std::string>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }

    void Acquire(const std::string& kind);
    void Release(const std::string& kind) noexcept;
    /// Kinds of host object references still held, with their counts (kinds at zero left out).
    std::map<std::string, int> Live() const;
    int LiveCount() const;

private:
    int64_t callCount_ = 0;
    int64_t objectCallCount_ = 0;
    std::vector<std::pair<int64_t, int32_t>> failAtCall_;
    std::map<std::string, int32_t, std::less<>> failMember_;
    struct CountedFailure {
        std::string member;
        int64_t left;
        int32_t status;
    };
    std::vector<CountedFailure> failMemberAt_;
    struct WriteFault {
        std::string member;
        int64_t left;  // calls until it is due
        bool counted;  // false: every call
        WriteFailure failure;
    };
    std::vector<WriteFault> writeFaults_;
    std::string armedMember_;  // the call entered last, when a write fault applies to it
    std::optional<WriteFailure> armedWrite_;
    std::vector<std::pair<std::string, std::function<void()>>> beforeCalls_;
    std::vector<int64_t> nothingAtCall_;
    std::vector<std::string> nothingFrom_;
    std::vector<std::string> objectMembers_;
    std::vector<std::string> calls_;
    std::map<std::string, int> live_;
};

}  // namespace standin
