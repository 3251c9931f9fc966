#pragma once
// The table a sweep reports: one row per scenario, the outcome of every case counted in it, the
// totals, and the first cases that went wrong. Portable: the native sweeps and the Windows ones
// (which read the stand-in host program's case lines) print the same table.
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace sweeps {

/// What one case came to.
struct CaseOutcome {
    bool crashed = false;
    /// Exceptions other than the host's failures that reached the host.
    int exceptions = 0;
    /// Host object references still held after shut-down.
    int held = 0;
    /// Attachments removed whose file is not on disk.
    int lost = 0;
    /// Findings about the host's state (half-made buttons, buttons of an unloaded add-in, a dialog
    /// after a clean-up).
    int inconsistent = 0;
    /// Memory the add-in never freed (LeakSanitizer), or COM objects it never released.
    int leaks = 0;
    std::string detail;

    bool Failed() const { return crashed || exceptions || held || lost || inconsistent || leaks; }
};

class SweepTable {
public:
    explicit SweepTable(std::string title) : title_(std::move(title)) {}

    void Add(const std::string& row, const std::string& name, const CaseOutcome& o) {
        if (rows_.find(row) == rows_.end()) order_.push_back(row);
        Row& r = rows_[row];
        Count(r, o);
        Count(total_, o);
        if (o.Failed() && failing_.size() < 12) failing_.push_back(row + " / " + name + ": " + o.detail);
    }

    int Cases() const { return total_.cases; }
    /// The cases of one scenario (0 when it has none).
    int CasesOf(const std::string& row) const {
        const auto it = rows_.find(row);
        return it == rows_.end() ? 0 : it->second.cases;
    }
    int Crashes() const { return total_.crashes; }
    int Failures() const { return total_.failed; }

    std::string Text() const {
        std::ostringstream out;
        out << "== " << title_ << "\n";
        char line[200];
        std::snprintf(line, sizeof line, "%-16s %7s %8s %10s %6s %6s %12s %6s\n", "scenario", "cases", "crashes",
                      "exceptions", "held", "lost", "inconsistent", "leaks");
        out << line;
        for (const auto& name : order_) out << Format(name, rows_.at(name));
        out << Format("total", total_);
        out << total_.failed << " of " << total_.cases << " cases went wrong\n";
        for (const auto& f : failing_) out << "  " << f << "\n";
        return out.str();
    }

    /// Prints the table and writes it to `file` (when not empty), for the test command's summary.
    void Publish(const std::string& file) const {
        const std::string text = Text();
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        if (file.empty()) return;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }

private:
    struct Row {
        int cases = 0, crashes = 0, exceptions = 0, held = 0, lost = 0, inconsistent = 0, leaks = 0, failed = 0;
    };

    static void Count(Row& r, const CaseOutcome& o) {
        ++r.cases;
        r.crashes += o.crashed ? 1 : 0;
        r.exceptions += o.exceptions ? 1 : 0;
        r.held += o.held ? 1 : 0;
        r.lost += o.lost ? 1 : 0;
        r.inconsistent += o.inconsistent ? 1 : 0;
        r.leaks += o.leaks ? 1 : 0;
        r.failed += o.Failed() ? 1 : 0;
    }

    static std::string Format(const std::string& name, const Row& r) {
        char line[200];
        std::snprintf(line, sizeof line, "%-16s %7d %8d %10d %6d %6d %12d %6d\n", name.c_str(), r.cases, r.crashes,
                      r.exceptions, r.held, r.lost, r.inconsistent, r.leaks);
        return line;
    }

    std::string title_;
    std::vector<std::string> order_;
    std::map<std::string, Row> rows_;
    Row total_;
    std::vector<std::string> failing_;
};

}  // namespace sweeps
