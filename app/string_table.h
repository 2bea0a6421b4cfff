// The texts of the string table, for the resource script and for the
// code that checks a length at compile time. Keep each a single string
// literal: the resource compiler does not join adjacent literals. The
// JOIN.BAT lines are the batch writer's own texts as well (kBatch* of
// batch_texts.h); a test holds the two equal.
#ifndef DORVENAL_STRING_TABLE_H
#define DORVENAL_STRING_TABLE_H

#define TEXT_TIP_KEYWORD "Use an entered keyword to split the source file based on that keyword"
#define TEXT_TIP_SIZE "Use an entered fragment size to split the source into pieces of that size"
#define TEXT_TIP_PIECES "Specify the no. of pieces that you would like to split the source file into"
#define TEXT_TIP_BATCH "Generates a batch file JOIN.BAT in the target folder which will re-join the split pieces"
#define TEXT_TIP_SPLIT_MODE "Use this option to Split a file into many pieces"
#define TEXT_TIP_JOIN_MODE "Use this option to Join the pieces back to re-create the original file"
#define TEXT_BANNER "Dorvenal V1.0.8 (001030) \nThe File Splitter for Win 95/98/NT/2000\nExact to the byte, piece after piece\n\n"
#define TEXT_TIP_UNIT_KB "Enter the size per piece in Kilobytes ,1 Kilobyte = 1024 bytes, 1024 Kilobytes = 1 Megabyte(mb)"
#define TEXT_TIP_UNIT_BYTES "Enter the size per piece in bytes (1024 bytes = 1 Kilobyte)"
#define TEXT_BAT_HEADER "ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now %s will be recreated\r\nPAUSE\r\n"
#define TEXT_BAT_FIRST_COPY "COPY /B \042%s.%s\042 dorvnl.tmp\r\n"
#define TEXT_BAT_NEXT_COPY "COPY /B dorvnl.tmp+\042%s.%s\042 dorvnl.tmp\r\n"
#define TEXT_BAT_FOOTER "REN dorvnl.tmp \042%s\042\r\nECHO Finished creating %s\r\n"

#endif
