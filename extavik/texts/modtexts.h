// Titles and texts of the warnings shown by the board binding and the two module procedures,
// the captions they hand to the script parser, and the names of their host actions.
// Compiled to code page 932 like every message the plug-in hands to the host.
#pragma once
#include "extavik/texts/usertext.h"

// X(NAME, TEXT), one row per caption, text or action name.
#define MODULE_TEXT_LIST(X) \
    /* Board binding. */ \
    X(BOARD_TITLE_MISSING, "TAVIK.DLL") \
    X(BOARD_TEXT_MISSING, "%sが見つかりません。code:%d") \
    X(BOARD_TITLE_BROKEN, "TavkX.dll") \
    X(BOARD_TEXT_BROKEN, "%s が異常です。") \
    X(BOARD_TITLE_INIT, "TavkX.dll") \
    X(BOARD_TEXT_INIT, "カ－ドが挿入されていないか\rハードウェア又はドライバーが異常です") \
    /* Parser captions of the channel scripts, formatted with the channel number. */ \
    X(CAPTION_IN_SCRIPT, "データリクエスト コマンド CH%02d") \
    X(CAPTION_OUT_SCRIPT, "出力コマンド CH%02d") \
    /* Start refused for settings that no table or buffer can hold: under START_TITLE, the */ \
    /* module name first. */ \
    X(START_TITLE, "GPIB") \
    X(START_TEXT_OWN_ADDRESS, "%s: 自アドレス %d は使用できません（0～30）。") \
    X(START_TEXT_PRIMARY, "%s CH%02d: 一次アドレス %d は使用できません（0～30）。") \
    X(START_TEXT_BUFFER, "%s CH%02d: 転送バッファ %u KB は使用できません（4～16384）。") \
    X(START_TEXT_INTERVAL, "%s CH%02d: リクエストレート %s 秒は使用できません（60000 秒以下の正の値）。") \
    /* Host actions. */ \
    X(ACTION_NAME_IN, "RECV_COMMAND") \
    X(ACTION_NAME_OUT, "REQUEST_COMMAND")

MODULE_TEXT_LIST(DEFINE_USER_TEXT)

enum { BOARD_MESSAGE_SIZE = 64 };
enum { START_MESSAGE_SIZE = 160 };
