// Texts that only the program shows. Plain #defines of single string
// literals, like string_table.h, so that the resource script can use the
// two captions that the template shares with the code.
#ifndef DORVENAL_APP_TEXTS_H
#define DORVENAL_APP_TEXTS_H

// Captions that follow the mode and the method; the template starts with
// the Split / Pieces ones.
#define TEXT_OK_SPLIT "&Split"
#define TEXT_OK_JOIN "&Join"
#define TEXT_LABEL_KEYWORD "&Keyword"
#define TEXT_LABEL_SIZE "&Size per piece"
#define TEXT_LABEL_PIECES "&No of Pieces"

// System-menu items appended after Close.
#define TEXT_MENU_HELP "&Help"
#define TEXT_MENU_ABOUT "&About"

// Tips of the browse buttons, by mode.
#define TEXT_TIP_SOURCE_SPLIT "Enter a source file that you want to split"
#define TEXT_TIP_SOURCE_JOIN "Enter a source (.1) file that you want to join"
#define TEXT_TIP_TARGET_SPLIT "Enter a target directory where you want the split pieces to be placed"
#define TEXT_TIP_TARGET_JOIN "Enter a target directory where you want the joined file to be copied"

// The Open dialog's filter lists: pairs of display text and pattern, each
// ending in a zero byte; the literal's own zero ends the list.
#define TEXT_SPLIT_FILTER "All\0*.*\0Text\0*.TXT\0MP3\0*.MP3\0Zip\0*.ZIP\0Doc\0*.DOC\0EXE\0*.EXE\0"
#define TEXT_JOIN_FILTER ".1 File\0*.1\0All\0*.*\0"

// A field left empty when Split or Join is pressed.
#define TEXT_NO_SOURCE \
  "You have not selected a Source File !!\nPlease select a Source File by clicking on the Source File button."
#define TEXT_NO_TARGET \
  "You have not selected a Target Directory !!\nPlease select a Target Directory by clicking on the Target " \
  "Directory button."
#define TEXT_NO_VALUE "Please Enter a keyword /size / or no.of pieces !!"

// The folder browser's failure when the chosen folder has no path.
#define TEXT_API_FAILURE "API Failure"

// The About box: the banner, then these lines.
#define TEXT_ABOUT_CAPTION "About Dorvenal"
#define TEXT_ABOUT_LINES \
  "New versions are published at:\n" \
  "https://dorvenal.example.org/\n" \
  "\n" \
  "Please report defects at:\n" \
  "https://dorvenal.example.org/issues\n" \
  "\n" \
  "Dorvenal is free to use and to pass on.\n" \
  "Thank you for using it!"

// The Help box: the banner, then these lines.
#define TEXT_HELP_CAPTION "Dorvenal Help"
#define TEXT_HELP_LINES \
  "Place your mouse over the buttons to read a brief description\n\n" \
  "check the README.TXT for a detailed Help & FAQ"

#endif
