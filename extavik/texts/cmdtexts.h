// Captions and texts of the warnings the command language shows. Compiled to code page 932
// like every message the plug-in hands to the host.
#pragma once
#include "extavik/texts/usertext.h"

// X(NAME, TEXT), one row per caption or text.
#define COMMAND_TEXT_LIST(X) \
    /* Script parser, under the caller's caption. */ \
    X(CMD_TEXT_SYNTAX, "エラー  LINE: %d") \
    /* SENDCMD with a name that is not a bus command. */ \
    X(CMD_TITLE_SENDCMD, "SENDCMD コマンド") \
    X(CMD_TEXT_SENDCMD, "コマンド・エラー：\"%s\"") \
    /* Captions of the bus error messages. */ \
    X(CMD_TITLE_SEND, "SEND コマンド") \
    X(CMD_TITLE_SETTIME, "SETTIME コマンド") \
    X(CMD_TITLE_IFC, "IFC コマンド") \
    X(CMD_TITLE_RENON, "RENON コマンド") \
    X(CMD_TITLE_RENOFF, "RENOFF コマンド") \
    X(CMD_TITLE_READ, "READコマンド・エラー") \
    X(CMD_TITLE_SPOLL, "シリアルポール") \
    X(CMD_TITLE_PPOLL, "パラレルポール") \
    X(CMD_TITLE_SPOLL_ERROR, "シリアルポール エラー発生") \
    /* READ failures. */ \
    X(CMD_TEXT_READ_NOTHING, "データをＲＥＡＤできません。") \
    X(CMD_TEXT_RING_OVERFLOW, \
      "転送バッファが足りません。\r\n転送バッファの指定を増やすか、Ｖｒｅｌｉｘのサンプリングレートを速く設定してください。") \
    /* READ in a module without a receive buffer (a GPIB-OUT script). */ \
    X(CMD_TEXT_READ_NO_BUFFER, "受信バッファがないため、ＲＥＡＤは実行できません。") \
    /* For the GPIB-OUT start: a script line that holds READ, formatted with the line number. */ \
    X(CMD_TEXT_READ_IN_OUTPUT, "出力コマンドではＲＥＡＤは使えません。 LINE: %d") \
    /* Bus status codes and their texts. */ \
    X(CMD_TEXT_BUS_INIT, "初期化失敗") \
    X(CMD_TEXT_BUS_DEVICE, "デバイス異常") \
    X(CMD_TEXT_BUS_DRIVER_VERSION, "ドライバーヴァージョン・エラー") \
    X(CMD_TEXT_BUS_IRQ, "ＩＲＱ番号不正") \
    X(CMD_TEXT_BUS_MODE, "モード・エラー") \
    X(CMD_TEXT_BUS_PARAM, "内部パラメータ・エラー") \
    X(CMD_TEXT_BUS_TIMEOUT, "タイムアウト・エラー") \
    X(CMD_TEXT_BUS_NO_LISTENER, "リスナ無し・エラー") \
    X(CMD_TEXT_BUS_UNKNOWN_COMMAND, "未知のＧＰＩＢコマンド検出") \
    X(CMD_TEXT_BUS_ADDRESS_STATUS, "アドレスステータス・エラー") \
    /* A case that cannot occur, and the source the host's internal error names. */ \
    X(CMD_TEXT_IMPOSSIBLE, "Impossible case") \
    X(CMD_INTERNAL_SOURCE, "DLL:gpibcmd.cpp")

COMMAND_TEXT_LIST(DEFINE_USER_TEXT)
