// Expected outputs typed out once for every suite (unit, resources,
// command line, end to end) rather than taken from the program's own
// templates and texts, so that a wrong template or message is caught.
#ifndef DORVENAL_KNOWN_SETS_H
#define DORVENAL_KNOWN_SETS_H

#include <string>

// JOIN.BAT for C:\data\report.doc split into three pieces of these sizes.
// It refuses during an unfinished change of the set, checks every piece
// and the names in its way before the first COPY (the sizes under cmd
// only), and under cmd each COPY after it.
inline std::string ReportJoinBatch(const std::string (&sizes)[3]) {
  std::string text =
      "ECHO OFF\r\n"
      "REM Dorvenal genarated batch file\r\n"
      "ECHO Now report.doc will be recreated\r\n"
      "PAUSE\r\n"
      "IF EXIST \"report_doc.dvjournal\" ECHO report_doc.dvjournal records an unfinished change of this set: run "
      "Dorvenal in this folder to finish it\r\n"
      "IF EXIST \"report_doc.dvjournal\" GOTO END\r\n";
  for (const char* k : {"1", "2", "3"}) {
    text += "IF NOT EXIST \"report_doc." + std::string(k) + "\" ECHO report_doc." + k +
            " is missing: report.doc was not recreated\r\nIF NOT EXIST \"report_doc." + k + "\" GOTO END\r\n";
  }
  text +=
      "IF EXIST \"report.doc\" ECHO report.doc is in the way: move it elsewhere and run JOIN.BAT again\r\n"
      "IF EXIST \"report.doc\" GOTO END\r\n"
      "IF EXIST \"dorvnl.tmp\" ECHO dorvnl.tmp is in the way: move it elsewhere and run JOIN.BAT again\r\n"
      "IF EXIST \"dorvnl.tmp\" GOTO END\r\n";
  for (const char* k : {"1", "2", "3"}) {
    const std::string test = "IF \"%OS%\"==\"Windows_NT\" FOR %%F IN (\"report_doc." + std::string(k) +
                             "\") DO IF NOT \"%%~zF\"==\"" + sizes[*k - '1'] + "\" ";
    text += test + "ECHO report_doc." + k + " is not " + sizes[*k - '1'] +
            " bytes long: report.doc was not recreated\r\n" + test + "GOTO END\r\n";
  }
  for (const char* k : {"1", "2", "3"}) {
    text += std::string(*k == '1' ? "COPY /B \"" : "COPY /B dorvnl.tmp+\"") + "report_doc." + k + "\" dorvnl.tmp\r\n" +
            "IF \"%OS%\"==\"Windows_NT\" IF ERRORLEVEL 1 ECHO report_doc." + k +
            " could not be copied: report.doc was not recreated\r\n"
            "IF \"%OS%\"==\"Windows_NT\" IF ERRORLEVEL 1 GOTO FAILED\r\n";
  }
  return text +
         "REN dorvnl.tmp \"report.doc\"\r\n"
         "ECHO Finished creating report.doc\r\n"
         "GOTO END\r\n"
         ":FAILED\r\n"
         "IF EXIST dorvnl.tmp DEL dorvnl.tmp\r\n"
         ":END\r\n";
}

// The program's boxes. "%p" stands for the path the box names, "%q" for a second one.
namespace known {
constexpr char kNoSource[] =
    "You have not selected a Source File !!\nPlease select a Source File by clicking on the Source File button.";
constexpr char kNoTarget[] =
    "You have not selected a Target Directory !!\nPlease select a Target Directory by clicking on the Target "
    "Directory button.";
constexpr char kNoValue[] = "Please Enter a keyword /size / or no.of pieces !!";
constexpr char kEmptySource[] = "The selected file is of size 0 bytes.\nZero length files cannot be split !!!";
constexpr char kNoSpaceSplit[] =
    "There is not enough free space in the target drive to store the split files.\nPlease free up some space on "
    "the target drive and then try to split";
constexpr char kNotFirstPiece[] =
    "The Source file you have selected is not the First file in a split file set !!!\n Please select a  .1 file "
    "as the source file";
constexpr char kSplitFinished[] = "Finished Splitting Successfully !!!";
constexpr char kJoinFinished[] = "Finished Joining Successfully !!!";
constexpr char kPieceWriteFailed[] = "Could not write the piece file\n%p !!\nThe split has been stopped.";
constexpr char kPieceIsSource[] = "The piece file\n%p\nis the source file itself !!\nThe split has been stopped.";
constexpr char kBatchFailed[] = "Could not write the batch file\n%p !!\nThe split has been stopped.";
constexpr char kBatchIsSource[] =
    "The batch file\n%p\nwould replace the source file itself, so it was not written !!";
constexpr char kFirstPieceMissing[] = "Could not find the piece\n%p !!\nThe join has been stopped.";
constexpr char kPieceOpenFailed[] =
    "Could not open the piece\n%p !!\nThe join has been stopped and the incomplete file removed.";
constexpr char kPieceReadFailed[] =
    "Could not read the piece\n%p !!\nThe join has been stopped and the incomplete file removed.";
constexpr char kOutputCreateFailed[] = "Could not create the file\n%p !!\nThe join has been stopped.";
constexpr char kPieceRenameFailed[] =
    "Could not give the piece file its name\n%p !!\nThe split has been stopped.";
constexpr char kOutputRenameFailed[] =
    "Could not give the joined file its name\n%p !!\nThe join has been stopped and the incomplete file removed.";
constexpr char kStalePiece[] =
    "The target folder also holds\n%p\nfrom an earlier split !!\nA join would take it as well: please remove it "
    "before joining.";
constexpr char kNameTooLong[] =
    "The piece names would be too long for the system, such as\n%p !!\nPlease choose a shorter file name or target "
    "folder.";
constexpr char kBatchNameInvalid[] =
    "The file name\n%p\ncannot be written into JOIN.BAT: Windows does not allow \" * ? < > | : / \\ or control "
    "characters in a file name, a dot or blank at its end, or a device name such as CON, NUL, COM1 or LPT1 !!";
constexpr char kBatchNameCodePage[] =
    "The file name\n%p\ncannot be written into JOIN.BAT: the Windows command prompt reads it in code page 437, "
    "which cannot spell all of its characters !!\nPlease rename the file, or split without the batch file and "
    "join with Dorvenal.";
constexpr char kLowMemory[] = "Your system is running low on memory !!\n Cannot proceed further !";
constexpr char kOutputWriteFailed[] =
    "Could not write the file\n%p !!\nThe join has been stopped and the incomplete file removed.";
constexpr char kNoSpaceJoin[] =
    "There is not enough free space in the target drive to store the split files.\nPlease free up some space on "
    "the target drive and then try to join";
constexpr char kSourceReadFailed[] = "Could not read the source file\n%p !!\nThe split has been stopped.";
constexpr char kSourceChanged[] =
    "The source file changed while it was being split !!\nThe split has been stopped.";
constexpr char kTooManyPieces[] =
    "The split would need more than 999999999 pieces !!\nPlease choose fewer pieces or a larger size.";
constexpr char kDriveFull[] = "The target drive is full !!\n";
constexpr char kOutputIsPiece[] =
    "The file to recreate\n%p\nis one of its own pieces !!\nThe join has been stopped.";
constexpr char kScriptFailed[] = "Could not write the script\n%p !!\nThe split has been stopped.";
constexpr char kScriptIsSource[] = "The script\n%p\nwould replace the source file itself, so it was not written !!";
constexpr char kSplitInterrupted[] =
    "The split was interrupted !!\nThe pieces it had written were removed; the target folder is as it was.";
constexpr char kJoinInterrupted[] = "The join was interrupted !!\nThe incomplete file was removed.";
constexpr char kPieceMissing[] =
    "The piece\n%p\nis missing, but the set goes on with\n%q !!\nThe join has been stopped; nothing was written.";
constexpr char kPieceUnreadable[] =
    "The piece\n%p\nis not a file that can be read !!\nThe join has been stopped; nothing was written.";
constexpr char kPieceChanged[] =
    "The piece\n%p\nchanged while it was being joined !!\nThe join has been stopped and the incomplete file removed.";
constexpr char kPieceNotRegular[] =
    "The piece\n%p\nis not a regular file !!\nThe join has been stopped; nothing was written.";
constexpr char kPieceEmpty[] = "The piece\n%p\nis empty, but pieces before and after it are not: it was cut short !!\n"
                               "The join has been stopped; nothing was written.";
constexpr char kChecksumWriteFailed[] = "Could not write the checksum file\n%p !!\nThe split has been stopped.";
constexpr char kManifestMissing[] = "There is no checksum file\n%p\nbeside the pieces !!\nThe set cannot be checked.";
constexpr char kManifestInvalid[] =
    "The checksum file\n%p\ncannot be read, is damaged or lists other pieces than this set's !!\nThe join has been "
    "stopped; nothing was written.";
constexpr char kPieceChecksum[] =
    "The piece\n%p\ndoes not match its checksum in\n%q !!\nIt is damaged or belongs to another set: the join has "
    "been stopped and the incomplete file removed.";
constexpr char kManifestNotRegular[] =
    "The checksum file\n%p\ncannot be read: it is not a regular file !!\nThe join has been stopped; nothing was written.";
// %p the pieces, %q how many the recovery pieces could have rebuilt (the dialog's table fills them).
constexpr char kPiecesRebuilt[] =
    "These pieces were missing or damaged and were rebuilt from the recovery pieces:\n%p";
constexpr char kTooManyLost[] =
    "Too many pieces are missing or damaged to rebuild the set:\n%p\nIts recovery pieces could have rebuilt %q !!\n"
    "Nothing was written.";
}  // namespace known

#endif
