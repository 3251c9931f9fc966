#pragma once
// Runs a clean-up step when the scope ends, however it ends: for the one-off steps that have no
// owner type of their own (handles have theirs in com/Handles.h).
#include <utility>

namespace base {

/// Calls `step` once, from its destructor. The step must not throw: it may run while an exception
/// is on its way out, and the destructor is noexcept.
template <class Step>
class ScopeExit {
public:
    explicit ScopeExit(Step step) noexcept : step_(std::move(step)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() noexcept { step_(); }

private:
    Step step_;
};

}  // namespace base
