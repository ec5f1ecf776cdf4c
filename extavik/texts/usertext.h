// The texts a user can meet: every caption and message the plug-in shows is written once, as a
// row X(NAME, "text") of its header's list (COMMAND_TEXT_LIST, MODULE_TEXT_LIST,
// DIALOG_TEXT_LIST). DEFINE_USER_TEXT makes each row the constant NAME; the same lists let the
// user's reference (docs/scripts.md) be checked for every text by its name.
#pragma once

#define DEFINE_USER_TEXT(name, text) constexpr char name[] = text;
