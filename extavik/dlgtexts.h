// Titles and texts of the warnings the settings dialogs show, and the dialog template names.
// Compiled to code page 932 like every message the plug-in hands to the host.
#pragma once

// Template names.
#define DLG_GPIB_IN   "GPIB-IN"
#define DLG_GPIB_OUT  "GPIB-OUT"
#define DLG_RECV      "RECV"
#define DLG_SPOLL     "SPOLL"
#define DLG_PPOLL     "PPOLL"
#define DLG_SELECT    "SELECT"

// Warning titles.
constexpr char WARN_TITLE_GPIB[] = "GPIB";
constexpr char WARN_TITLE_RECV[] = "受信設定";
constexpr char WARN_TITLE_SPOLL[] = "シリアルポール設定";
constexpr char WARN_TITLE_PPOLL[] = "パラレルポール設定";
// The own-address dialog has always reported under the parallel-poll title.
constexpr const char* WARN_TITLE_SELECT = WARN_TITLE_PPOLL;

// Main settings dialogs.
constexpr char WARN_PRIMARY_ADDRESS[] = "一次アドレス  設定エラー";
constexpr char WARN_TIMEOUT[] = "タイムアウト時間  設定エラー";

// "RECV".
constexpr char WARN_HEADER_SIZE[] = "ヘッダーサイズ  設定エラー";
constexpr char WARN_BLOCK_LENGTH[] = "転送ブロック長  設定エラー";
constexpr char WARN_INVALID_HEAD[] = "無効文字サイズ先頭  設定エラー";
constexpr char WARN_INVALID_TAIL[] = "無効文字サイズ終了  設定エラー";
constexpr char WARN_MASK[] = "マスクバイト  設定エラー";
constexpr char WARN_BUFFER[] = "転送バッファ  設定エラー";
constexpr char WARN_INTERVAL[] = "リクエストレート  設定エラー";
constexpr char WARN_INTERVAL_FAST[] =
    "リクエストレートがＶＲＥＬＩＸのサンプリングレートより速い設定です。\n"
    "リクエストレートを遅く,又はサンプリングレートを早く設定し直してください。\n";

// "SPOLL" and "PPOLL".
constexpr char WARN_READY_BIT[] = "データレディービット  設定エラー";
constexpr char WARN_ERROR_BIT[] = "エラー情報ビット  設定エラー";
constexpr char WARN_PPOLL_LINE[] = "ＤＩＯライン番号  設定エラー";

// "SELECT".
constexpr char WARN_MY_ADDRESS[] = "マイ・アドレス  設定エラー";
