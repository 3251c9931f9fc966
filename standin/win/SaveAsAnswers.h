#pragma once
// Scripted answers for the Save As dialogs that add-ins open on the host's thread: the `saveas`
// commands of a script, queued like the answers for message boxes, and the robot's part that reads
// each dialog into the transcript and answers it with them.
#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "standin/win/Script.h"
#include "standin/win/StepQueue.h"
#include "standin/win/Transcript.h"

namespace standin::win {

/// One scripted step for a Save As dialog. `Save`, `Pick` and `Cancel` close the dialog (unless
/// the dialog asks whether to replace a file: the next step must then be `Overwrite`, and after a
/// `no` the dialog stays open for the steps after it).
struct SaveAsStep {
    enum Kind { Save, Pick, Cancel, Overwrite, Folder, Select, Type } kind = Cancel;
    std::u16string text;        // Save: the path or name typed (empty: the name as it is); Folder,
                                // Select, Type: the folder, listed name or name
    int index = 0;              // Pick: 1 for the first suggestion
    bool yes = false;           // Overwrite
    std::optional<bool> replace;  // "Replace with shortcut" to set before saving; unset: as it is
    std::optional<bool> open;     // "Open after saving", likewise
    std::u16string command;     // the script's words, for messages
};

/// The program's folder at its start: relative paths of `saveas` and `file` lines are taken from
/// there, whatever folder a Save As dialog made current since.
std::u16string StartFolder();
/// `path` itself when it is a full path, else taken from StartFolder().
std::u16string FullPath(const std::u16string& path);

/// Parses `saveas <step>` (README.md). Throws ScriptError.
SaveAsStep ParseSaveAsStep(const ScriptLine& line);

/// The transcript's line for `file <path>`: `file bytes=<n> content="<the bytes>" path="<path>"`
/// (the bytes as UTF-8 text, quoted), or `file missing path="<path>"`.
std::u16string FileReport(const std::u16string& path);

/// The transcript's lines for `files <folder>`: `files folder="<folder>" count=<n>`, then one
/// `files name="<name>" bytes=<n>` for each file in it, sorted by name (sub-folders are left out);
/// `files missing folder="<folder>"` when there is no such folder.
std::vector<std::u16string> FolderReport(const std::u16string& folder);

/// Answers the Save As dialogs of the host's thread from the queued steps.
class SaveAsAnswers {
public:
    /// `screenshots`: a folder for a picture of each dialog as answered; empty for none. `byHand`:
    /// the dialogs are recorded and left to a person.
    SaveAsAnswers(Transcript& transcript, std::wstring screenshots, bool byHand = false);
    ~SaveAsAnswers();
    SaveAsAnswers(const SaveAsAnswers&) = delete;
    SaveAsAnswers& operator=(const SaveAsAnswers&) = delete;

    void Queue(SaveAsStep step);
    /// Forgets and returns the steps no dialog used (each a failure for the action that ends).
    std::vector<SaveAsStep> TakeUnused();

    /// Called by the robot's thread for a dialog of the host's thread; returns false when `dialog`
    /// is not a Save As dialog (nor, when they are left to a person, a question one of them asks). Records the dialog and answers it; a dialog without (enough) steps
    /// is recorded as a failure and cancelled, so that the host does not hang.
    bool Handle(HWND dialog, DWORD hostThread);

    /// Forgets and returns the paths the dialogs gave the host's thread so far: where the add-in may
    /// leave files (the audit's check of files left over).
    std::vector<std::u16string> TakeChosenPaths();

    /// On the host's thread at the end of an action: waits (pumping its messages) until the robot
    /// has finished recording the dialog it answered last, so that its lines precede the action's end.
    void WaitUntilIdle(DWORD timeoutMs);

private:
    Transcript& t_;
    std::wstring screenshots_;
    bool byHand_;
    std::mutex mutex_;
    StepQueue<SaveAsStep> steps_;
    std::vector<std::u16string> chosen_;
    int dialogs_ = 0;
    int messageBoxes_ = 0;  // message boxes pictured so far
    HANDLE idle_ = nullptr;  // manual-reset: set while no dialog is being handled
};

}  // namespace standin::win
