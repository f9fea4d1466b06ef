#pragma once
// The built-in vocabulary of each receiver family, indexed by the family (g_nReceiverType, 0 to 4).
// Built once at static initialisation and never changed; the family defaults copy entries into the
// view's settings, which profiles and the Options sheet may then replace.
#include "app/Globals.h"
#include "app/ViewState.h"

#include <QString>

// The command box's list: items, each followed by ';'.
extern const QString g_CommandLists[kReceiverFamilies];
// The forty dialog-bar buttons: [0] the label, [1] the command (without its carriage return).
// An empty label hides the button.
extern const QString g_CommandButtons[kReceiverFamilies][kCommandButtons][2];
// The request of each of the eighteen poll slots, with its terminator; empty = slot not polled.
extern const QString g_PollCommands[kReceiverFamilies][kPollSlots];
// The first and second start-up commands; empty = none.
extern const QString g_StartupCommands[kReceiverFamilies];
extern const QString g_StartupCommands2[kReceiverFamilies];
// The end-of-reply pattern list (see MatchReplyEnd).
extern const QString g_ReplyPrompts[kReceiverFamilies];
