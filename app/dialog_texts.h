// The program's message boxes and questions. Placeholders: %s text, %d
// number, filled by FillTemplate in the order given.
#ifndef DORVENAL_DIALOG_TEXTS_H
#define DORVENAL_DIALOG_TEXTS_H

#include <string>

constexpr const char kAppCaption[] = "Dorvenal";

// Split.
constexpr const char kMsgEmptySource[] =
    "The selected file is of size 0 bytes.\nZero length files cannot be split !!!";
constexpr const char kMsgNoSpaceSplit[] =
    "There is not enough free space in the target drive to store the split files.\nPlease free up some space on the target drive and then try to split";
constexpr const char kMsgSplitFinished[] = "Finished Splitting Successfully !!!";
constexpr const char kConfirmSize[] = "File will be split into %d pieces\nShall I continue ?";
constexpr const char kConfirmPieces[] =
    "File will be split into %d pieces of size %d bytes\nShall I continue ?";
constexpr const char kConfirmPiecesRemainder[] =
    "File will be split into %d pieces of size %d bytes and 1 piece of size %d bytes\nShall I continue ?";

// Join.
constexpr const char kMsgLowMemory[] = "Your system is running low on memory !!\n Cannot proceed further !";
// Made when the program starts: telling of low memory must not need memory.
inline const std::string kLowMemoryText{kMsgLowMemory};
constexpr const char kMsgNotFirstPiece[] =
    "The Source file you have selected is not the First file in a split file set !!!\n Please select a  .1 file as the source file";
constexpr const char kMsgNoSpaceJoin[] =
    "There is not enough free space in the target drive to store the split files.\nPlease free up some space on the target drive and then try to join";
constexpr const char kConfirmJoin[] =
    "Dorvenal has detected %d files which can joined to recreate %s.\n %s which will be recreated will be of size %d.\n If there is an existing %s , it will be Over-Written.\n Do you wish to continue ?";
constexpr const char kMsgJoinFinished[] = "Finished Joining Successfully !!!";

// Failures the program reports in its own voice.
constexpr const char kMsgPieceWriteFailed[] =
    "Could not write the piece file\n%s !!\nThe split has been stopped.";
// Put before a write failure's message when the drive ran out of room.
constexpr const char kMsgDriveFull[] = "The target drive is full !!\n";
constexpr const char kMsgPieceIsSource[] =
    "The piece file\n%s\nis the source file itself !!\nThe split has been stopped.";
constexpr const char kMsgTooManyPieces[] =
    "The split would need more than 999999999 pieces !!\nPlease choose fewer pieces or a larger size.";
constexpr const char kMsgSourceChanged[] =
    "The source file changed while it was being split !!\nThe split has been stopped.";
constexpr const char kMsgFirstPieceMissing[] =
    "Could not find the piece\n%s !!\nThe join has been stopped.";
constexpr const char kMsgPieceOpenFailed[] =
    "Could not open the piece\n%s !!\nThe join has been stopped and the incomplete file removed.";
constexpr const char kMsgPieceReadFailed[] =
    "Could not read the piece\n%s !!\nThe join has been stopped and the incomplete file removed.";
constexpr const char kMsgOutputCreateFailed[] =
    "Could not create the file\n%s !!\nThe join has been stopped.";
constexpr const char kMsgOutputWriteFailed[] =
    "Could not write the file\n%s !!\nThe join has been stopped and the incomplete file removed.";
constexpr const char kMsgOutputIsPiece[] =
    "The file to recreate\n%s\nis one of its own pieces !!\nThe join has been stopped.";
constexpr const char kMsgBatchFailed[] =
    "Could not write the batch file\n%s !!\nThe split has been stopped.";
constexpr const char kMsgBatchIsSource[] =
    "The batch file\n%s\nwould replace the source file itself, so it was not written !!";

constexpr const char kMsgStalePiece[] =
    "The target folder also holds\n%s\nfrom an earlier split !!\nA join would take it as well: please remove it before joining.";
// A run ended while it gave a set its names; this run settled it (%s: the set).
constexpr const char kMsgChangeFinished[] =
    "An unfinished change of the set\n%s\nwas found and finished !!\nThe set is the new one, whole.";
constexpr const char kMsgChangeUndone[] =
    "An unfinished change of the set\n%s\nwas found and undone !!\nThe set is as it was before that change.";
constexpr const char kMsgUnfinishedChange[] =
    "The set has an unfinished change, recorded in\n%s !!\nRun Dorvenal in this folder to finish it: split the file again or join the set.";
constexpr const char kMsgOtherRunsSet[] =
    "Another split gave the set its names while this one ran, such as\n%s !!\nThat set was left as it is; this split has been stopped.";
// After a failure's message, when the old set could not be put back either.
constexpr const char kMsgNotPutBack[] =
    "\nThe old set could not be put back either: %s\n%s\nThe change stays recorded: run Dorvenal in this folder to finish it.";
constexpr const char kMsgNameTooLong[] =
    "The piece names would be too long for the system, such as\n%s !!\nPlease choose a shorter file name or target folder.";
constexpr const char kMsgBatchNameInvalid[] =
    "The file name\n%s\ncannot be written into JOIN.BAT: Windows does not allow \" * ? < > | : / \\ or control characters in a file name, a dot or blank at its end, or a device name such as CON, NUL, COM1 or LPT1 !!";
// The name, then the code page's number.
constexpr const char kMsgBatchNameCodePage[] =
    "The file name\n%s\ncannot be written into JOIN.BAT: the Windows command prompt reads it in code page %s, which cannot spell all of its characters !!\nPlease rename the file, or split without the batch file and join with Dorvenal.";
constexpr const char kMsgSplitInterrupted[] =
    "The split was interrupted !!\nThe pieces it had written were removed; the target folder is as it was.";
constexpr const char kMsgJoinInterrupted[] =
    "The join was interrupted !!\nThe incomplete file was removed.";
constexpr const char kMsgPieceRenameFailed[] =
    "Could not give the piece file its name\n%s !!\nThe split has been stopped.";
constexpr const char kMsgOutputRenameFailed[] =
    "Could not give the joined file its name\n%s !!\nThe join has been stopped and the incomplete file removed.";

constexpr const char kMsgPieceMissing[] =
    "The piece\n%s\nis missing, but the set goes on with\n%s !!\nThe join has been stopped; nothing was written.";
constexpr const char kMsgPieceUnreadable[] =
    "The piece\n%s\nis not a file that can be read !!\nThe join has been stopped; nothing was written.";
constexpr const char kMsgPieceChanged[] =
    "The piece\n%s\nchanged while it was being joined !!\nThe join has been stopped and the incomplete file removed.";
constexpr const char kMsgPieceNotRegular[] =
    "The piece\n%s\nis not a regular file !!\nThe join has been stopped; nothing was written.";
constexpr const char kMsgPieceEmpty[] =
    "The piece\n%s\nis empty, but pieces before and after it are not: it was cut short !!\nThe join has been stopped; nothing was written.";
constexpr const char kMsgSetChanged[] =
    "The pieces starting with\n%s\nwere replaced by another run while the question waited for its answer !!\nThe join has been stopped; nothing was written.";
constexpr const char kMsgLockNotAFile[] =
    "The name of this folder's lock file\n%s\nis taken by something else (a link, a folder or a special file) !!\nPlease remove it and try again.";
constexpr const char kMsgChecksumWriteFailed[] =
    "Could not write the checksum file\n%s !!\nThe split has been stopped.";
constexpr const char kMsgManifestMissing[] =
    "There is no checksum file\n%s\nbeside the pieces !!\nThe set cannot be checked.";
constexpr const char kMsgManifestInvalid[] =
    "The checksum file\n%s\ncannot be read, is damaged or lists other pieces than this set's !!\nThe join has been stopped; nothing was written.";
// The piece, then the checksum file.
constexpr const char kMsgPieceChecksum[] =
    "The piece\n%s\ndoes not match its checksum in\n%s !!\nIt is damaged or belongs to another set: the join has been stopped and the incomplete file removed.";
// An operation the system refused, on the file named, with its own words.
constexpr const char kMsgSplitFailed[] = "Could not %s\n%s !!\n%s\nThe split has been stopped.";
constexpr const char kMsgJoinFailed[] = "Could not %s\n%s !!\n%s\nThe join has been stopped.";
constexpr const char kMsgSourceReadFailed[] =
    "Could not read the source file\n%s !!\nThe split has been stopped.";
constexpr const char kMsgScriptFailed[] =
    "Could not write the script\n%s !!\nThe split has been stopped.";
constexpr const char kMsgScriptIsSource[] =
    "The script\n%s\nwould replace the source file itself, so it was not written !!";
// The source, then the number of pieces and recovery pieces.
constexpr const char kMsgRecoveryTooMany[] =
    "The pieces and recovery pieces of\n%s\nwould be %s: a set holds at most 256 of them !!\nNothing was written.";
// The lost pieces, then how many the recovery pieces could have rebuilt.
constexpr const char kMsgTooManyLost[] =
    "Too many pieces are missing or damaged to rebuild the set:\n%s\nIts recovery pieces could have rebuilt %s !!\nNothing was written.";
// The pieces rebuilt, before the finished box.
constexpr const char kMsgPiecesRebuilt[] =
    "These pieces were missing or damaged and were rebuilt from the recovery pieces:\n%s";
constexpr const char kMsgManifestNotRegular[] =
    "The checksum file\n%s\ncannot be read: it is not a regular file !!\nThe join has been stopped; nothing was written.";
constexpr const char kMsgNameNotPlain[] =
    "The set cannot be joined under the name\n%s\nIt is not a plain file name (empty, a folder, or a device such as CON or AUX) !!\nThe join has been stopped; nothing was written.";
constexpr const char kMsgSizesOverflow[] =
    "The pieces starting with\n%s\nadd up to more bytes than any file can hold !!\nThe join has been stopped; nothing was written.";

#endif
