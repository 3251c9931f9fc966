#pragma once
// Runs sweep cases in child processes (POSIX fork), so that a crash, or a sanitizer's finding, ends
// the case it happened in and the sweep counts it and goes on. One child runs cases one after the
// other until one of them ends it; the next child starts after that case.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace sweeps {

/// One case as its child reported it.
struct Isolated {
    /// The case returned (its child did not end inside it).
    bool completed = false;
    /// What the case's body returned.
    std::string report;
    /// For a case that did not complete: what its child wrote to its standard error (a sanitizer's
    /// report).
    std::string errors;
    /// Memory that was never freed (LeakSanitizer), found after the case.
    bool leaked = false;
};

namespace detail {

constexpr char kEnd[] = "\n--end of case--\n";

inline void WriteAll(int fd, const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n <= 0) return;
        at += static_cast<size_t>(n);
    }
}

inline bool LeakCheck() {
#if defined(__SANITIZE_ADDRESS__)
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return false;
#endif
}

// Runs cases from `first` in one child; returns what it reported, one string per case completed,
// and what it wrote to its standard error (the first MiB). With `leakCheck` each case is followed
// by a leak check (slow); otherwise one check follows the last case, reported as its own entry.
inline std::vector<std::string> RunChild(size_t first, size_t count, const std::function<std::string(size_t)>& body,
                                         bool leakCheck, std::string& errors, bool& leakedAtEnd) {
    std::vector<std::string> done;
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return done;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        close(err[0]);
        dup2(err[1], 2);
        for (size_t i = first; i < count; ++i) {
            std::string report = body(i);
            report += leakCheck && LeakCheck() ? "\nleaked" : "";
            WriteAll(out[1], report + kEnd);
        }
        WriteAll(out[1], std::string(!leakCheck && LeakCheck() ? "leaked" : "") + kEnd);
        _exit(0);
    }
    close(out[1]);
    close(err[1]);
    if (child < 0) {
        close(out[0]);
        close(err[0]);
        return done;
    }
    // Both pipes at once, so that a long sanitizer report cannot block the child.
    std::string stream;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (pollfd& f : fds) {
            if (f.fd < 0 || !(f.revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = read(f.fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(f.fd);
                f.fd = -1;
                --open;
                continue;
            }
            if (&f == &fds[0]) {
                stream.append(buffer, static_cast<size_t>(n));
            } else {
                if (errors.size() < (1u << 20)) errors.append(buffer, static_cast<size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    const std::string end = kEnd;
    for (size_t at = 0;;) {
        const size_t stop = stream.find(end, at);
        if (stop == std::string::npos) break;
        done.push_back(stream.substr(at, stop - at));
        at = stop + end.size();
    }
    // The entry after the last case is the final leak check; it is there when the child ran to its end.
    const bool finished = done.size() == count - first + 1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    leakedAtEnd = finished && done.back() == "leaked";
    if (finished) done.pop_back();
    else if (done.size() > count - first) done.resize(count - first);
    return done;
}

}  // namespace detail

/// Runs `body(0)` .. `body(count - 1)`, each case in a child process, many cases per child. A case
/// that ends its child is reported as not completed, and the next child starts after it. Leaks are
/// looked for after the cases of each child; where some were found, those cases run again one per
/// child, each followed by its own check, to tell which leaked.
inline std::vector<Isolated> RunIsolated(size_t count, const std::function<std::string(size_t)>& body) {
    std::vector<Isolated> results(count);
    const auto run = [&](size_t first, size_t last, bool leakCheck) {
        for (size_t i = first; i < last;) {
            std::string errors;
            bool leakedAtEnd = false;
            const auto done = detail::RunChild(i, last, body, leakCheck, errors, leakedAtEnd);
            for (size_t k = 0; k < done.size(); ++k) {
                Isolated& r = results[i + k];
                r.completed = true;
                r.report = done[k];
                if (r.report.size() >= 7 && r.report.compare(r.report.size() - 7, 7, "\nleaked") == 0) {
                    r.leaked = true;
                    r.report.resize(r.report.size() - 7);
                }
            }
            const size_t next = i + done.size();
            if (next < last) {
                results[next].errors = errors;
                i = next + 1;
            } else {
                i = next;
            }
            if (leakedAtEnd) return true;
        }
        return false;
    };
    for (size_t first = 0; first < count;) {
        // A batch at a time, so that a leak makes only its own batch run again, one case per child
        // (a leak stays found by every later check of the same child).
        const size_t last = std::min(count, first + 64);
        if (run(first, last, false))
            for (size_t i = first; i < last; ++i) run(i, i + 1, true);
        first = last;
    }
    return results;
}

}  // namespace sweeps
