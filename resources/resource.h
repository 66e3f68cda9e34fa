/*
 * Lirva resource identifiers.
 *
 * A plain C header shared by the resource script (resources/lirva.rc) and the
 * C++ sources. It holds only #define lines so that the resource compiler can
 * read it as well. Dialog templates without a number are named; their names
 * are given here as string macros for the C++ side.
 *
 * Every numeric resource (dialog 1, menus 1 and 3, icons 1 and 2, bitmaps
 * 1 to 5, picture 1 of type 800, RCDATA 1, the manifest and the version
 * record) lives in its own resource type, so equal numbers do not clash.
 */
#ifndef LIRVA_RESOURCE_H
#define LIRVA_RESOURCE_H

/* ------------------------------------------------------------------------
 * Dialog templates
 */
#define IDD_MAIN                1               /* main window, standard dialog class, caption "Lirva" */
#define DLG_PLAYER              "LPlayDlg"      /* player ("Play Control") */
#define DLG_PROGRESS            "LProgressDialog"
#define DLG_ABOUT               "LAbout"
#define DLG_TERMS               "LTerms"        /* setup wizard: licence page */
#define DLG_INSTALLING          "LInstallingDlg"/* setup wizard: installing pages */
#define DLG_SELECTRELATED       "LSelectRelatedDlg"

/* Window classes of the program that the templates place as controls. */
#define CLASS_WAVEWINDOW        "LWaveWindow"
#define CLASS_DBDISPLAY         "LDBDisplay"
#define CLASS_DBEDIT            "LDBEdit"
#define CLASS_ABOUTWINDOW       "LAW"
#define CLASS_NOTIFYWINDOW      "LTQN"          /* hidden notification window, not in a template */

/* ------------------------------------------------------------------------
 * Menus
 */
#define IDR_MAINMENU            1               /* "&File", "&Help" */
#define IDR_LISTMENU            3               /* file-list context menu: its items are in sub-menu 0 */

/* ------------------------------------------------------------------------
 * Icons
 */
#define IDI_LIRVA               1               /* program icon: 32 x 32 and 16 x 16 */
#define IDI_TAGBUTTON           2               /* 16 x 16 icon of the "Lirva File(s)" button (214) */

/* ------------------------------------------------------------------------
 * Bitmaps
 *
 * Toolbar images, one 22 x 24 image each (width 22, height 24), 8-bit palette
 * with the background RGB(192,192,192) (mapped to the button face by the
 * toolbar). The toolbar table refers to them by negated id.
 */
#define IDB_TB_HELP             1
#define IDB_TB_ADDFILES         2
#define IDB_TB_REMOVEFILES      3
#define IDB_TB_PLAY             4
#define IDB_TB_TAG              5

/* Player buttons: 20 x 20, 8-bit palette, background RGB(192,192,192) is the
 * mask colour. */
#define BMP_PLAY                "PlayBitmap"
#define BMP_SCRUB               "ScrubBitmap"
#define BMP_STOP                "StopBitmap"
#define BMP_START               "StartBitmap"
#define BMP_REWIND              "RewindBitmap"
#define BMP_FORWARD             "ForwardBitmap"
#define BMP_END                 "EndBitmap"
#define BUTTON_MASK_RGB_R       192
#define BUTTON_MASK_RGB_G       192
#define BUTTON_MASK_RGB_B       192

/* Level-meter pattern brushes: 9 x 32, 16 colours. */
#define BMP_DBGREEN             "LDBGreen"
#define BMP_DBRED               "LDBRed"

/* ------------------------------------------------------------------------
 * Other resources
 */
#define RT_LIRVA_PICTURE        800             /* resource type of the JPEG picture */
#define IDR_ABOUTPICTURE        1               /* the about/splash picture (JPEG), type 800 */
#define IDR_LICENCE             1               /* RCDATA: licence terms for "LTerms" (control 199);
                                                   plain text with CR LF line ends, NOT zero-terminated:
                                                   copy SizeofResource bytes and add the zero */

/* String table: texts left to us by the design. */
#define IDS_DISTRIBUTOR         100             /* about/splash: five lines, "Distributed by:" first */
#define IDS_NOTICE_FIRST        110             /* status-bar notices 110 .. 114, shown in turn */
#define IDS_NOTICE_COUNT        5
#define IDS_RELATED_DESC_FIRST  120             /* descriptions of the related programs 120 .. 124,
                                                   in the order of the related-program table */
#define IDS_RELATED_DESC_COUNT  5

/* ------------------------------------------------------------------------
 * Main window (dialog 1)
 */
#define IDC_TOOLBAR             89              /* created at run time, not in the template */
#define IDC_FILELIST            101             /* list view, report style */
#define IDC_GENRE               104             /* drop-down list */
#define IDC_STATUSBAR           105
#define IDC_TAGFRAME            501             /* tab control, tab "ID3v1/v2 Tag" */
#define IDC_LABEL_TITLE         200
#define IDC_LABEL_YEAR          201
#define IDC_LABEL_ARTIST        202
#define IDC_LABEL_TRACK         203
#define IDC_LABEL_ALBUM         204
#define IDC_LABEL_GENRE         205
#define IDC_LABEL_COMMENT       206
#define IDC_TITLE               207
#define IDC_YEAR                208
#define IDC_ARTIST              209
#define IDC_TRACK               210
#define IDC_ALBUM               211
#define IDC_COMMENT             212
#define IDC_TAGBUTTON           214             /* owner-drawn "Lirva File(s)" button */

/* Commands of menu 1, context menu 3, the toolbar and the keys */
#define IDM_HELPCONTENTS        9               /* "&Help Contents", F1 */
#define IDM_TAGFILES            214             /* "Lirv&a File(s)", Ctrl+G: same id as the button */
#define IDM_EXIT                1001
#define IDM_ADDFILES            1002            /* Ctrl+N */
#define IDM_REMOVEFILES         1003            /* Ctrl+Delete */
#define IDM_PLAYFILE            1004            /* F9 */
#define IDM_CLEARFIELDS         1005            /* Ctrl+L */
#define IDM_SELECTALL           1007            /* Ctrl+A */
#define IDM_EDITAUDIO           1010            /* F8 */
#define IDM_CONVERT             1011            /* Ctrl+F */
#define IDM_BURNAUDIOCD         1012            /* Ctrl+D */
#define IDM_BURNMP3CD           1013            /* Ctrl+M */
#define IDM_COPYTITLE           1333            /* context menu only */
#define IDM_CHECKVERSION        9003
#define IDM_INSTALLRELATED      9004
#define IDM_WEBLINK_FIRST       9021            /* web links, inserted before "&About..." */
#define IDM_WEBLINK_LAST        9089
#define IDM_ABOUT               9090

/* ------------------------------------------------------------------------
 * Player dialog "LPlayDlg"
 */
#define IDC_PLAYER_TIME         103             /* right-aligned time display */
#define IDC_PLAYER_METER        104             /* "LDBDisplay" */
#define IDC_PLAYER_WAVE         105             /* "LWaveWindow" */
#define IDC_PLAYER_POSITION     106             /* horizontal scroll bar */
#define IDC_PLAYER_DEVICE       107             /* drop-down list */
#define IDC_PLAYER_VOLUME       108             /* "LDBEdit" */
#define IDC_PLAYER_PLAY         111             /* push-like check box */
#define IDC_PLAYER_SCRUB        112             /* push-like check box */
#define IDC_PLAYER_STOP         113             /* push-like check box */
#define IDC_PLAYER_START        114
#define IDC_PLAYER_REWIND       115             /* press-and-hold */
#define IDC_PLAYER_FORWARD      116             /* press-and-hold */
#define IDC_PLAYER_END          117
#define IDC_PLAYER_NAME         120             /* edit */

/* ------------------------------------------------------------------------
 * Progress window "LProgressDialog" and the installing page "LInstallingDlg"
 * (same ids); Cancel is IDCANCEL (2)
 */
#define IDC_PROGRESS_LINE1      100
#define IDC_PROGRESS_LINE2      101
#define IDC_PROGRESS_BAR        102
#define IDC_PROGRESS_SPARE      199

/* ------------------------------------------------------------------------
 * About box "LAbout"; OK is IDOK (1)
 */
#define IDC_ABOUT_PICTURE       999             /* "LAW" */

/* ------------------------------------------------------------------------
 * Setup wizard: licence page "LTerms"
 */
#define IDC_TERMS_AGREE         101             /* radio "I &agree with these terms" */
#define IDC_TERMS_DISAGREE      102             /* radio "I do not agree with these terms" */
#define IDC_TERMS_TEXT          199             /* read-only multi-line edit */

/* Setup wizard / related programs: selection page "LSelectRelatedDlg" */
#define IDC_RELATED_LIST        101             /* list view, report style without header: insert one
                                                   column; check boxes and full-row select are set at run time */
#define IDC_RELATED_DESC        102             /* description */
#define IDC_RELATED_LINK        103             /* hyperlink text (SS_NOTIFY) */

#endif /* LIRVA_RESOURCE_H */
