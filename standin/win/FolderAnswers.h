#pragma once
// Scripted answers for the folder dialogs that add-ins open on the host's thread (the system's
// common item dialog picking a folder, with the add-in's check boxes): the `pickfolder` commands
// of a script, queued like the answers for message boxes, and the robot's part that reads each
// dialog into the transcript and answers it with them.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "standin/win/Script.h"
#include "standin/win/StepQueue.h"
#include "standin/win/Transcript.h"

namespace standin::win {

/// One scripted answer: the folder typed and confirmed, with the check boxes set first, or Cancel.
struct FolderStep {
    bool cancel = false;
    std::u16string folder;
    std::optional<bool> replace;  // "Replace with shortcuts"; unset: as it is
    std::optional<bool> open;     // "Open the folder after saving"; unset: as it is
    std::u16string command;       // the script's words, for messages
};

/// Parses `pickfolder "<folder>" [replace on|off] [open on|off]` or `pickfolder cancel`. Throws ScriptError.
FolderStep ParseFolderStep(const ScriptLine& line);

/// Answers the folder dialogs of the host's thread from the queued steps.
class FolderAnswers {
public:
    explicit FolderAnswers(Transcript& transcript) : t_(transcript) {}

    void Queue(FolderStep step);
    /// Forgets and returns the steps no dialog used (each a failure for the action that ends).
    std::vector<FolderStep> TakeUnused();
    /// Called by the robot's thread for each dialog; false when `dialog` is not a folder dialog
    /// with the add-in's check boxes. A dialog without a step is a failure, and cancelled.
    bool Handle(HWND dialog);

private:
    Transcript& t_;
    StepQueue<FolderStep> steps_;
    int dialogs_ = 0;
};

}  // namespace standin::win
