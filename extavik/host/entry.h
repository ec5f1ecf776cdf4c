// Texts, names and places of the plug-in's entry and registration; shared with the tests.
#pragma once

// The maker's popup, inserted into the host's menu bar.
#define KORVA_MENU_RESOURCE "KORVA"
#define KORVA_MENU_LABEL "KORVA(&K)"
enum { KORVA_MENU_POSITION = 3 };

// The handler of host menu command 4990.
#define SETUP_BOX_TEXT "Do here some setup functions!"
#define SETUP_BOX_CAPTION "Setup"

// Module classes and their bitmaps.
#define CLASS_GPIB_IN "KORVA:GPIB_IN"
#define CLASS_GPIB_OUT "KORVA:GPIB-OUT"
#define BITMAP_IN_ICON "EXGPIBIN_ICO"
#define BITMAP_OUT_ICON "EXGPIBOUT_ICO"
#define BITMAP_IN_SYMBOL "EXIEEEIN"
#define BITMAP_OUT_SYMBOL "EXIEEEOUT"
#define BITMAP_BUS_SYMBOL "EXIEEE488"
enum {
    DISPLAY_NAME_SIZE = 13,
    LONG_NAME_SIZE = 39,
    CHANNEL_BUTTON_WINDOW_EXTRA = 2,
};

// The version box of the dialogs' help buttons.
#define VERSION_BOX_CAPTION "EXTAVIK"
#define VERSION_BOX_TEXT "EXTAVIK  GP-IB (Tavik) Version 1.00"
