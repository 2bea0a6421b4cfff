// Identifiers shared by the resource script and the dialog.
// Plain #defines so that the resource compiler can read this header too.
#ifndef DORVENAL_RESOURCE_IDS_H
#define DORVENAL_RESOURCE_IDS_H

#define IDD_MAIN 101
#define IDI_APP 104

#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDC_SOURCE_PATH 1000
#define IDC_SOURCE_BROWSE 1001
#define IDC_TARGET_PATH 1002
#define IDC_TARGET_BROWSE 1003
#define IDC_METHOD_KEYWORD 1005
#define IDC_VALUE 1006
#define IDC_VALUE_LABEL 1007
#define IDC_ABOUT 1008
// <windows.h> names a help cursor IDC_HELP; the dialog's button wins here.
#ifdef IDC_HELP
#undef IDC_HELP
#endif
#define IDC_HELP 1009
#define IDC_METHOD_SIZE 1015
#define IDC_METHOD_PIECES 1016
#define IDC_PROGRESS 1018
#define IDC_MAKE_BATCH 1019
#define IDC_MODE_SPLIT 1021
#define IDC_MODE_JOIN 1022
#define IDC_UNIT_KB 1024
#define IDC_UNIT_BYTES 1025
#define IDC_UNIT_LABEL 1026

// System-menu commands arrive in WM_SYSCOMMAND, so sharing 1026 with a
// control never collides.
#define IDM_SYS_HELP 1026
#define IDM_SYS_ABOUT 1027

#define IDS_TIP_KEYWORD 1
#define IDS_TIP_SIZE 2
#define IDS_TIP_PIECES 3
#define IDS_TIP_BATCH 4
#define IDS_TIP_SPLIT_MODE 5
#define IDS_TIP_JOIN_MODE 6
#define IDS_BANNER 7
#define IDS_TIP_UNIT_KB 8
#define IDS_TIP_UNIT_BYTES 9
#define IDS_BAT_HEADER 10
#define IDS_BAT_FIRST_COPY 11
#define IDS_BAT_NEXT_COPY 12
#define IDS_BAT_FOOTER 13

#endif
