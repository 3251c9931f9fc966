#pragma once
// The host's own checks of what an add-in left behind, made after a run: the references it still
// holds, attachments it removed without keeping their content, and the host's state.
#include <string>
#include <utility>
#include <vector>

namespace standin {

/// How the host recognises the add-in's own toolbar and button.
struct AddInMarks {
    std::u16string tag;
    std::u16string toolbar;
    std::u16string caption;
    /// The add-in's further buttons on its toolbar, each with its own tag and caption.
    std::vector<std::pair<std::u16string, std::u16string>> others = {};
};

struct HostAudit {
    /// Host object references still held (the ledger).
    int held = 0;
    /// By-value attachments removed whose content is in no file on disk that a shortcut in the
    /// same item points to.
    std::vector<std::string> lost;
    /// The host's state is not as a sound add-in leaves it: a half-made button or an empty bar of
    /// the add-in's, in an open window or kept for the next run; a button of the add-in left in an
    /// open window after the add-in was unloaded; a file the host wrote for the add-in left under a
    /// name no Save As dialog gave it.
    std::vector<std::string> inconsistent;
    /// What event sinks threw other than a host failure (it would have crossed the boundary).
    std::vector<std::string> exceptions;

    bool Sound() const { return held == 0 && lost.empty() && inconsistent.empty() && exceptions.empty(); }
};

}  // namespace standin
