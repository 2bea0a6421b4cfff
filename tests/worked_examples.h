// Expected outputs from the worked examples, typed out once for every
// suite (unit, resources, command line, end to end) rather than taken
// from the program's own templates, so that a wrong template is caught.
#ifndef DORVENAL_WORKED_EXAMPLES_H
#define DORVENAL_WORKED_EXAMPLES_H

// JOIN.BAT for C:\data\report.doc split into three pieces: 282 bytes.
constexpr char kWorkedJoinBatch[] =
    "ECHO OFF\r\n"
    "REM Dorvenal genarated batch file\r\n"
    "ECHO Now report.doc will be recreated\r\n"
    "PAUSE\r\n"
    "COPY /B \"report_doc.1\" dorvnl.tmp\r\n"
    "COPY /B dorvnl.tmp+\"report_doc.2\" dorvnl.tmp\r\n"
    "COPY /B dorvnl.tmp+\"report_doc.3\" dorvnl.tmp\r\n"
    "REN dorvnl.tmp \"report.doc\"\r\n"
    "ECHO Finished creating report.doc\r\n";

#endif
