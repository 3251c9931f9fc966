#pragma once
// The one way to tolerate a failure the design allows: the step's failure is caught and reported,
// never dropped unseen. Reports go to a hook the module connects (the Windows layer: the debug
// output, as failures at COM boundaries are); without one they go nowhere.
#include <exception>
#include <new>
#include <string_view>
#include <utility>

#include "base/HostError.h"

namespace base {

/// Where in the code a failure was tolerated: as std::source_location, which the portable code
/// cannot use (clang 14, the fuzzers' compiler, lacks the built-in libstdc++ needs for it).
struct Where {
    const char* file;
    const char* function;
    unsigned line;

    static constexpr Where Here(const char* file = __builtin_FILE(), const char* function = __builtin_FUNCTION(),
                                unsigned line = __builtin_LINE()) noexcept {
        return {file, function, line};
    }
};

/// Where tolerated failures are told: a plain function, so the module state it lives in has no
/// destructor to run when the host unloads the DLL.
using ToleratedReport = void (*)(int32_t status, std::u16string_view text, const Where& where) noexcept;

inline ToleratedReport& ToleratedReportHook() noexcept {
    static ToleratedReport hook = nullptr;
    return hook;
}

/// Connects the module's report (once, at its start; null disconnects).
inline void SetToleratedReport(ToleratedReport report) noexcept { ToleratedReportHook() = report; }

inline void ReportTolerated(int32_t status, std::u16string_view text, const Where& where) noexcept {
    if (const ToleratedReport report = ToleratedReportHook()) report(status, text, where);
}

/// Runs `step`, tolerating its failure: a HostError or any other exception is reported with `where`
/// and swallowed. Returns whether the step ran to its end. Out of memory is let through: nothing
/// after it can be relied on. Costs a try block when nothing fails.
template <class Step>
bool Tolerate(Step&& step, Where where = Where::Here()) {
    try {
        step();
        return true;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const HostError& e) {
        ReportTolerated(e.status, e.text, where);
    } catch (...) {
        ReportTolerated(HostStatus::Unexpected, u"an exception that is not a HostError", where);
    }
    return false;
}

/// As Tolerate, for the steps of a path that must not fail at all (letting go of the host, a clean-up
/// in a destructor): out of memory is reported and swallowed too.
template <class Step>
bool TolerateAll(Step&& step, Where where = Where::Here()) noexcept {
    try {
        return Tolerate(std::forward<Step>(step), where);
    } catch (...) {
        ReportTolerated(HostStatus::OutOfMemory, u"out of memory", where);
        return false;
    }
}

}  // namespace base
