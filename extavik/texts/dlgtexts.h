// Titles and texts of the warnings the settings dialogs show, and the dialog template names.
// Compiled to code page 932 like every message the plug-in hands to the host.
#pragma once
#include "extavik/texts/usertext.h"

// Template names.
#define DLG_GPIB_IN   "GPIB-IN"
#define DLG_GPIB_OUT  "GPIB-OUT"
#define DLG_RECV      "RECV"
#define DLG_SPOLL     "SPOLL"
#define DLG_PPOLL     "PPOLL"
#define DLG_SELECT    "SELECT"

// X(NAME, TEXT), one row per warning title or text.
#define DIALOG_TEXT_LIST(X) \
    /* Warning titles. */ \
    X(WARN_TITLE_GPIB, "GPIB") \
    X(WARN_TITLE_RECV, "受信設定") \
    X(WARN_TITLE_SPOLL, "シリアルポール設定") \
    X(WARN_TITLE_PPOLL, "パラレルポール設定") \
    /* Main settings dialogs. */ \
    X(WARN_PRIMARY_ADDRESS, "一次アドレス  設定エラー") \
    X(WARN_TIMEOUT, "タイムアウト時間  設定エラー") \
    /* "RECV". */ \
    X(WARN_HEADER_SIZE, "ヘッダーサイズ  設定エラー") \
    X(WARN_BLOCK_LENGTH, "転送ブロック長  設定エラー") \
    X(WARN_INVALID_HEAD, "無効文字サイズ先頭  設定エラー") \
    X(WARN_INVALID_TAIL, "無効文字サイズ終了  設定エラー") \
    X(WARN_MASK, "マスクバイト  設定エラー") \
    X(WARN_BUFFER, "転送バッファ  設定エラー") \
    X(WARN_INTERVAL, "リクエストレート  設定エラー") \
    X(WARN_INTERVAL_FAST, \
      "リクエストレートがＶＲＥＬＩＸのサンプリングレートより速い設定です。\n" \
      "リクエストレートを遅く,又はサンプリングレートを早く設定し直してください。\n") \
    /* "SPOLL" and "PPOLL". */ \
    X(WARN_READY_BIT, "データレディービット  設定エラー") \
    X(WARN_ERROR_BIT, "エラー情報ビット  設定エラー") \
    X(WARN_PPOLL_LINE, "ＤＩＯライン番号  設定エラー") \
    /* "SELECT". */ \
    X(WARN_MY_ADDRESS, "マイ・アドレス  設定エラー")

DIALOG_TEXT_LIST(DEFINE_USER_TEXT)

// The own-address dialog's warnings come under the parallel-poll title.
constexpr const char* WARN_TITLE_SELECT = WARN_TITLE_PPOLL;
