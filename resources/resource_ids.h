// Resource and command identifiers shared by the resource script and the
// window code. Plain #defines so that windres can read this file too.
#ifndef LUMIRUN_RESOURCES_RESOURCE_IDS_H
#define LUMIRUN_RESOURCES_RESOURCE_IDS_H

#define IDR_MAIN_MENU 101
#define IDD_RENDER_QUALITY 102
#define IDD_SETTINGS 103
#define IDI_LUMIRUN 104
/* Ctrl+O, Ctrl+S and F1 for Open, Save As and Help; the menu texts stay as they are */
#define IDR_ACCELERATORS 105

/* Menu commands */
#define IDM_OPEN 40006
#define IDM_SAVE_AS 40002
#define IDM_QUIT 40003
#define IDM_SETTINGS 40012
#define IDM_ORIGINAL 40008
#define IDM_RELATIVITY 40009
#define IDM_HELP_INDEX 40015
#define IDM_ABOUT 40014

/* Settings dialog controls */
#define IDC_SPEED 1005
#define IDC_FASTER 1007
#define IDC_SLOWER 1008
#define IDC_LEFT_TO_RIGHT 1009
#define IDC_TOP_TO_BOTTOM 1010
#define IDC_STRAIGHT_AT_IT 1011
#define IDC_RENDER_IT 1012
#define IDC_RENDER_QUALITY 1013

/* Render Quality dialog controls */
#define IDC_QUALITY_LOW 1000
#define IDC_QUALITY_MEDIUM 1001
#define IDC_QUALITY_HIGH 1002
#define IDC_QUALITY_ULTRA 1014
/* "Smooth (no gaps)": the smooth renderer, below the four levels */
#define IDC_QUALITY_SMOOTH 1015

#define IDC_STATIC_LABEL 65535

#endif
