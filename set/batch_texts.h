// The text of JOIN.BAT. Placeholders: %s, filled by FillTemplate in the
// order given.
#ifndef DORVENAL_BATCH_TEXTS_H
#define DORVENAL_BATCH_TEXTS_H

// JOIN.BAT, line by line; each line ends in CR LF. The program's string
// table holds the same four templates.
constexpr const char kBatchHeader[] =
    "ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now %s will be recreated\r\nPAUSE\r\n";
constexpr const char kBatchFirstCopy[] = "COPY /B \"%s.%s\" dorvnl.tmp\r\n";
constexpr const char kBatchNextCopy[] = "COPY /B dorvnl.tmp+\"%s.%s\" dorvnl.tmp\r\n";
constexpr const char kBatchFooter[] = "REN dorvnl.tmp \"%s\"\r\nECHO Finished creating %s\r\n";
// Checks before the first COPY, so that a set with a piece missing, or a
// name in the way, is never reported as recreated. Arguments: the name
// quoted, the name bare (and for a piece the restored name too).
constexpr const char kBatchCheckPiece[] =
    "IF NOT EXIST \"%s\" ECHO %s is missing: %s was not recreated\r\nIF NOT EXIST \"%s\" GOTO END\r\n";
constexpr const char kBatchCheckInTheWay[] =
    "IF EXIST \"%s\" ECHO %s is in the way: move it elsewhere and run JOIN.BAT again\r\nIF EXIST \"%s\" GOTO END\r\n";
// A change of the set that a run left unfinished (its journal, quoted,
// bare, quoted): the pieces may be half old, half new.
constexpr const char kBatchCheckJournal[] =
    "IF EXIST \"%s\" ECHO %s records an unfinished change of this set: run Dorvenal in this folder to finish it\r\n"
    "IF EXIST \"%s\" GOTO END\r\n";
// Only cmd.exe knows %~z; its numbers are 32-bit, so sizes compare as
// text. Arguments: the piece quoted, its size, the piece bare, its size,
// the restored name bare, the piece quoted, its size.
constexpr const char kBatchCheckSize[] =
    "IF \"%%OS%%\"==\"Windows_NT\" FOR %%%%F IN (\"%s\") DO IF NOT \"%%%%~zF\"==\"%s\" ECHO %s is not %s bytes long: "
    "%s was not recreated\r\n"
    "IF \"%%OS%%\"==\"Windows_NT\" FOR %%%%F IN (\"%s\") DO IF NOT \"%%%%~zF\"==\"%s\" GOTO END\r\n";
// After each COPY: cmd.exe sets ERRORLEVEL on a failed copy (a full disk,
// a piece it cannot read); COMMAND.COM does not, so only cmd.exe looks.
// Arguments: the piece bare, the restored name bare.
constexpr const char kBatchCheckCopy[] =
    "IF \"%%OS%%\"==\"Windows_NT\" IF ERRORLEVEL 1 ECHO %s could not be copied: %s was not recreated\r\n"
    "IF \"%%OS%%\"==\"Windows_NT\" IF ERRORLEVEL 1 GOTO FAILED\r\n";
// After the footer: a failed COPY leaves no part of the file behind.
constexpr const char kBatchFailed[] = "GOTO END\r\n:FAILED\r\nIF EXIST dorvnl.tmp DEL dorvnl.tmp\r\n";
constexpr const char kBatchEnd[] = ":END\r\n";
// With the set's checksum manifest: before the first COPY, every piece's
// SHA-256 from certutil against its line of the manifest, in order. Only
// cmd.exe has FOR /F and certutil; COMMAND.COM, a system without certutil
// and a certutil that hashes nothing (Wine's) get one line saying the
// pieces were not checked, and the join goes on. kBatchSumsStart: the
// manifest quoted.
constexpr const char kBatchSumsStart[] =
    "IF NOT \"%%OS%%\"==\"Windows_NT\" GOTO NOCHECK\r\nSETLOCAL\r\n"
    "certutil -hashfile \"%s\" SHA256 >NUL 2>NUL\r\nIF ERRORLEVEL 1 GOTO NOCHECK\r\n";
// A file's hash into DVH, blanks removed, "nohash" without one; the name
// quoted. certutil runs in a child cmd.exe, which would expand a %...% of
// the name once more: it reads the name from DVP instead.
constexpr const char kBatchSumsHash[] =
    "SET \"DVP=%s\"\r\nSET DVH=\r\n"
    "FOR /F \"skip=1 delims=\" %%%%H IN ('certutil -hashfile \"%%%%DVP%%%%\" SHA256') DO IF NOT DEFINED DVH SET "
    "\"DVH=%%%%H\"\r\n"
    "IF NOT DEFINED DVH SET DVH=nohash\r\nSET \"DVH=%%DVH: =%%\"\r\n";
// After kBatchSumsHash of the manifest itself, which shows whether
// certutil hashes at all: the manifest must have a line for every piece
// and one for the whole file. Arguments: the manifest quoted, the number
// of lines, the manifest bare, the number of pieces, the restored name
// bare (twice), the number of lines.
constexpr const char kBatchSumsCount[] =
    "IF \"%%DVH%%\"==\"nohash\" GOTO NOCHECK\r\n"
    "SET DVN=0\r\nFOR /F \"usebackq\" %%%%W IN (\"%s\") DO SET /A DVN+=1 >NUL\r\n"
    "IF NOT \"%%DVN%%\"==\"%s\" ECHO %s does not list %s pieces and %s: %s was not recreated\r\n"
    "IF NOT \"%%DVN%%\"==\"%s\" GOTO END\r\n";
// The piece's hash against the first word of line k of the manifest,
// its quotes removed so that it stays text: " skip=k-1" (empty for the
// first), the manifest quoted, the piece, the manifest and the restored
// name bare.
constexpr const char kBatchSumsPiece[] =
    "SET DVW=\r\n"
    "FOR /F \"usebackq%s\" %%%%W IN (\"%s\") DO IF NOT DEFINED DVW SET \"DVW=%%%%W\"\r\n"
    "IF NOT DEFINED DVW SET DVW=noline\r\n"
    "IF /I NOT \"%%DVW:\"=%%\"==\"%%DVH%%\" ECHO %s does not match its line in %s: %s was not recreated\r\n"
    "IF /I NOT \"%%DVW:\"=%%\"==\"%%DVH%%\" GOTO END\r\n";
// The manifest bare.
constexpr const char kBatchSumsEnd[] =
    "GOTO JOIN\r\n:NOCHECK\r\nECHO The pieces were not checked against %s: certutil is not available here\r\n"
    ":JOIN\r\n";

#endif
