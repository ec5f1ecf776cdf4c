// Captions and texts of the warnings the command language shows. Compiled to code page 932
// like every message the plug-in hands to the host.
#pragma once

// Script parser, under the caller's caption.
constexpr char CMD_TEXT_SYNTAX[] = "エラー  LINE: %d";

// SENDCMD with a name that is not a bus command.
constexpr char CMD_TITLE_SENDCMD[] = "SENDCMD コマンド";
constexpr char CMD_TEXT_SENDCMD[] = "コマンド・エラー：\"%s\"";

// Captions of the bus error messages.
constexpr char CMD_TITLE_SEND[] = "SEND コマンド";
constexpr char CMD_TITLE_SETTIME[] = "SETTIME コマンド";
constexpr char CMD_TITLE_IFC[] = "IFC コマンド";
constexpr char CMD_TITLE_RENON[] = "RENON コマンド";
constexpr char CMD_TITLE_RENOFF[] = "RENOFF コマンド";
constexpr char CMD_TITLE_READ[] = "READコマンド・エラー";
constexpr char CMD_TITLE_SPOLL[] = "シリアルポール";
constexpr char CMD_TITLE_PPOLL[] = "パラレルポール";
constexpr char CMD_TITLE_SPOLL_ERROR[] = "シリアルポール エラー発生";

// READ failures.
constexpr char CMD_TEXT_READ_NOTHING[] = "データをＲＥＡＤできません。";
constexpr char CMD_TEXT_RING_OVERFLOW[] =
    "転送バッファが足りません。\r\n転送バッファの指定を増やすか、Ｖｒｅｌｉｘのサンプリングレートを速く設定してください。";
// READ in a module without a receive buffer (a GPIB-OUT script).
constexpr char CMD_TEXT_READ_NO_BUFFER[] = "受信バッファがないため、ＲＥＡＤは実行できません。";
// For the GPIB-OUT start: a script line that holds READ, formatted with the line number.
constexpr char CMD_TEXT_READ_IN_OUTPUT[] = "出力コマンドではＲＥＡＤは使えません。 LINE: %d";

// Bus status codes and their texts.
constexpr char CMD_TEXT_BUS_INIT[] = "初期化失敗";
constexpr char CMD_TEXT_BUS_DEVICE[] = "デバイス異常";
constexpr char CMD_TEXT_BUS_DRIVER_VERSION[] = "ドライバーヴァージョン・エラー";
constexpr char CMD_TEXT_BUS_IRQ[] = "ＩＲＱ番号不正";
constexpr char CMD_TEXT_BUS_MODE[] = "モード・エラー";
constexpr char CMD_TEXT_BUS_PARAM[] = "内部パラメータ・エラー";
constexpr char CMD_TEXT_BUS_TIMEOUT[] = "タイムアウト・エラー";
constexpr char CMD_TEXT_BUS_NO_LISTENER[] = "リスナ無し・エラー";
constexpr char CMD_TEXT_BUS_UNKNOWN_COMMAND[] = "未知のＧＰＩＢコマンド検出";
constexpr char CMD_TEXT_BUS_ADDRESS_STATUS[] = "アドレスステータス・エラー";

// A case that cannot occur.
constexpr char CMD_TEXT_IMPOSSIBLE[] = "Impossible case";
constexpr char CMD_INTERNAL_SOURCE[] = "DLL:gpibcmd.cpp";
