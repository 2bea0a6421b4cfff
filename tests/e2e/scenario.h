// The dialog's controls and the steps that many tests share: choosing files
// through the pickers, choosing a method, typing a value, answering boxes.
#ifndef DORVENAL_E2E_SCENARIO_H
#define DORVENAL_E2E_SCENARIO_H

#include <string>
#include <vector>

#include "driver.h"

// Control identifiers, as a user meets them on the dialog. Kept apart from
// the program's own header so that a wrong number there shows up here.
namespace ui {
constexpr int kSplit = 1;  // IDOK, "&Split" / "&Join"
constexpr int kCancel = 2;
constexpr int kSourcePath = 1000;
constexpr int kSourceBrowse = 1001;
constexpr int kTargetPath = 1002;
constexpr int kTargetBrowse = 1003;
constexpr int kKeyword = 1005;
constexpr int kValue = 1006;
constexpr int kValueLabel = 1007;
constexpr int kAbout = 1008;
constexpr int kHelp = 1009;
constexpr int kSize = 1015;
constexpr int kPieces = 1016;
constexpr int kProgress = 1018;
constexpr int kMakeBatch = 1019;
constexpr int kModeSplit = 1021;
constexpr int kModeJoin = 1022;
constexpr int kUnitKb = 1024;
constexpr int kUnitBytes = 1025;
constexpr int kUnitLabel = 1026;
constexpr int kSysHelp = 1026;
constexpr int kSysAbout = 1027;
}  // namespace ui

// Messages the user reads.
namespace msg {
constexpr char kNoSource[] =
    "You have not selected a Source File !!\nPlease select a Source File by clicking on the Source File button.";
constexpr char kNoTarget[] =
    "You have not selected a Target Directory !!\nPlease select a Target Directory by clicking on the Target "
    "Directory button.";
constexpr char kNoValue[] = "Please Enter a keyword /size / or no.of pieces !!";
constexpr char kEmptySource[] = "The selected file is of size 0 bytes.\nZero length files cannot be split !!!";
constexpr char kSplitFinished[] = "Finished Splitting Successfully !!!";
constexpr char kJoinFinished[] = "Finished Joining Successfully !!!";
constexpr char kNotFirstPiece[] =
    "The Source file you have selected is not the First file in a split file set !!!\n Please select a  .1 file "
    "as the source file";
}  // namespace msg

// Chooses the source file and the target directory with the real pickers
// and checks that the fields show them.
void ChooseSource(const Program& program, const std::string& path);
void ChooseTarget(const Program& program, const std::string& dir);
void Choose(const Program& program, const std::string& source, const std::string& targetDir);

// Clicks a method button ("&Keyword", "Si&ze", "&Pieces") or a unit.
void SelectMethod(const Program& program, int methodId);
// Clicks into the value field and types `text`, which must then stand there.
void EnterValue(const Program& program, const std::string& text);
// Ticks "&Generate Batch File".
void TickBatch(const Program& program);

// Waits for the information box, checks it (caption "Dorvenal", the given
// text, the information icon, one OK button) and presses OK.
void ExpectInfo(const Program& program, const std::string& text);
// Waits for the yes/no confirmation, checks caption, text and buttons and
// returns it unanswered.
Box ExpectConfirmation(const Program& program, const std::string& text);

// After a job: no box is open and the dialog takes input again.
void ExpectIdle(const Program& program);

// The files of a directory with their contents.
std::vector<std::pair<std::string, std::string>> DirContents(const std::string& dir);

#endif
