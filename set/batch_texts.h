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
// With the set's checksum manifest, under cmd.exe only (COMMAND.COM has no
// FOR /F nor certutil, and says that it did not check): before the first
// COPY, the manifest must be a regular file no larger than one of this set
// and hold exactly its lines (checked below); then every piece's SHA-256
// from certutil against its line, where certutil prints hashes.
// kBatchSumsStart: the manifest quoted, bare, the restored name bare, the
// manifest quoted, the largest size of a manifest (19 digits).
constexpr const char kBatchSumsStart[] =
    "IF NOT \"%%OS%%\"==\"Windows_NT\" GOTO NOCHECK\r\nSETLOCAL\r\nSET DVA=\r\n"
    "FOR %%%%F IN (\"%s\") DO SET \"DVA=%%%%~aF\"\r\n"
    "IF /I \"%%DVA:~0,1%%\"==\"d\" ECHO %s cannot be read: it is not a regular file: %s was not recreated\r\n"
    "IF /I \"%%DVA:~0,1%%\"==\"d\" GOTO END\r\nSET DVZ=\r\n"
    "FOR %%%%F IN (\"%s\") DO SET \"DVZ=0000000000000000000%%%%~zF\"\r\n"
    "SET \"DVZ=%%DVZ:~-19%%\"\r\nIF \"%%DVZ%%\" GTR \"%s\" GOTO BADSUMS\r\n"
    "SET DVN=0\r\nSET DVNAME=\r\nSET DVLAST=\r\nSET DVHEX=\r\nGOTO DVFORM\r\n"
    ":DVLINE\r\nSET /A DVN+=1\r\nSET \"DVX=%%DVX:\"=/%%\"\r\nSET \"DVW=%%DVW:\"=/%%\"\r\n"
    "IF \"%%DVW:~0,1%%\"==\"\\\" SET \"DVW=%%DVW:~1%%\"\r\n"
    "IF \"%%DVW:~63,1%%\"==\"\" SET DVHEX=%%DVN%%\r\nIF NOT \"%%DVW:~64%%\"==\"\" SET DVHEX=%%DVN%%\r\n";
// Called for each line, its hash in DVW, its name in DVX (quotes made
// slashes, which no name holds): whether it is 64 hex digits (the
// replacements ignore case), the first line (DVNAME)
// not of piece DVN or of recovery piece DVN - N, and whether the line is
// the restored name's (DVLAST). Arguments: the number of pieces, twice,
// the stem quoted, twice, the number of pieces, the stem quoted, twice,
// the name quoted, twice.
constexpr const char kBatchSumsNames[] =
    "SET /A DVJ=DVN-%s\r\n"
    "IF %%DVN%% LEQ %s IF NOT \"%%DVX%%\"==\"%s.%%DVN%%\" IF NOT \"%%DVX%%\"==\"*%s.%%DVN%%\" IF NOT DEFINED DVNAME "
    "SET DVNAME=%%DVN%%\r\n"
    "IF %%DVN%% GTR %s IF NOT \"%%DVX%%\"==\"%s.r%%DVJ%%\" IF NOT \"%%DVX%%\"==\"*%s.r%%DVJ%%\" IF NOT DEFINED DVNAME "
    "SET DVNAME=%%DVN%%\r\n"
    "SET DVLAST=\r\nIF \"%%DVX%%\"==\"%s\" SET DVLAST=1\r\nIF \"%%DVX%%\"==\"*%s\" SET DVLAST=1\r\nGOTO :EOF\r\n";
// The same for a name of other than ASCII: the line count and the size
// stand for the names.
constexpr const char kBatchSumsCount[] = "SET DVNAME=%%DVN%%\r\nSET DVLAST=1\r\nGOTO :EOF\r\n";
// Every line through :DVLINE (a block: Wine's cmd runs a chain of commands
// after DO once only); then the manifest's size must be that of its
// lines with LF (or CR LF) ends: the pieces' and the whole file's
// (argument 3), and DVK recovery pieces' of so many bytes (argument 4)
// with one digit and more past 9 and 99. Arguments: the manifest quoted,
// the number of pieces + 1, those two sizes.
constexpr const char kBatchSumsForm[] =
    ":DVFORM\r\nFOR /F \"usebackq tokens=1*\" %%%%W IN (\"%s\") DO (\r\nSET \"DVW=%%%%W\"\r\nSET \"DVX=%%%%X\"\r\n"
    "CALL :DVLINE\r\n)\r\n"
    "IF DEFINED DVHEX GOTO BADSUMS\r\nIF NOT \"%%DVNAME%%\"==\"%%DVN%%\" GOTO BADSUMS\r\n"
    "IF NOT DEFINED DVLAST GOTO BADSUMS\r\nSET /A DVK=DVN-%s\r\nIF %%DVK%% LSS 0 GOTO BADSUMS\r\n"
    "SET /A DVS=%s+DVK*%s\r\nIF %%DVK%% GTR 9 SET /A DVS+=DVK-9\r\nIF %%DVK%% GTR 99 SET /A DVS+=DVK-99\r\n"
    "SET /A DVC=DVS+DVN\r\nSET \"DVS=0000000000000000000%%DVS%%\"\r\nSET \"DVC=0000000000000000000%%DVC%%\"\r\n"
    "IF NOT \"%%DVZ%%\"==\"%%DVS:~-19%%\" IF NOT \"%%DVZ%%\"==\"%%DVC:~-19%%\" GOTO BADSUMS\r\n";
// Whether certutil is there (cmd.exe's 9009: no such command) and prints a
// hash (Wine's hashes nothing). The manifest quoted.
constexpr const char kBatchSumsCertutil[] =
    "certutil -hashfile \"%s\" SHA256 >NUL 2>NUL\r\nIF ERRORLEVEL 9009 GOTO NOCERTUTIL\r\n";
// A file's hash into DVH, blanks removed, "nohash" without one; the name
// quoted. certutil runs in a child cmd.exe, which would expand a %...% of
// the name once more: it reads the name from DVP instead.
constexpr const char kBatchSumsHash[] =
    "SET \"DVP=%s\"\r\nSET DVH=\r\n"
    "FOR /F \"skip=1 delims=\" %%%%H IN ('certutil -hashfile \"%%%%DVP%%%%\" SHA256') DO IF NOT DEFINED DVH SET "
    "\"DVH=%%%%H\"\r\n"
    "IF NOT DEFINED DVH SET DVH=nohash\r\nSET \"DVH=%%DVH: =%%\"\r\n";
// After kBatchSumsHash of the manifest itself, which shows whether
// certutil hashes at all.
constexpr const char kBatchSumsHashes[] = "IF \"%%DVH%%\"==\"nohash\" GOTO NOHASH\r\n";
// The piece's hash against the first word of line k of the manifest,
// its quotes and backslash mark removed so that it stays text: " skip=k-1"
// (empty for the first), the manifest quoted, the piece, the manifest and
// the restored name bare. With recovery pieces listed, a piece that does
// not match can be rebuilt.
constexpr const char kBatchSumsPiece[] =
    "SET DVW=\r\n"
    "FOR /F \"usebackq%s\" %%%%W IN (\"%s\") DO IF NOT DEFINED DVW SET \"DVW=%%%%W\"\r\n"
    "IF NOT DEFINED DVW SET DVW=noline\r\nSET \"DVW=%%DVW:\\=%%\"\r\n"
    "IF /I NOT \"%%DVW:\"=%%\"==\"%%DVH%%\" ECHO %s does not match its line in %s: %s was not recreated\r\n"
    "IF /I NOT \"%%DVW:\"=%%\"==\"%%DVH%%\" IF %%DVK%% GTR 0 ECHO Dorvenal (or dorvenal-cli join) can rebuild it "
    "from the recovery pieces\r\n"
    "IF /I NOT \"%%DVW:\"=%%\"==\"%%DVH%%\" GOTO END\r\n";
// The manifest bare, the restored name bare, the manifest bare three times.
constexpr const char kBatchSumsEnd[] =
    "GOTO JOIN\r\n:BADSUMS\r\nECHO %s is damaged or lists other pieces than this set's: %s was not recreated\r\n"
    "GOTO END\r\n:NOCERTUTIL\r\nECHO The pieces were not checked against %s: certutil is not available here\r\n"
    "GOTO JOIN\r\n:NOHASH\r\nECHO The pieces were not checked against %s: certutil printed no hash here\r\n"
    "GOTO JOIN\r\n:NOCHECK\r\nECHO The pieces were not checked against %s: only cmd.exe can check them\r\n"
    ":JOIN\r\n";

#endif
