#pragma once
// Pure text work of the poll cycle: trimming replies, pseudo-commands, the time shown.
#include <QString>

// The reply buffer keeps at most this many characters (the newest ones, where the end-of-reply
// prompt is); no receiver answer comes near it, so only a device that streams is cut.
constexpr int kMaxReplyChars = 64 * 1024;

// Removes white space (space, tab, CR, LF, VT, FF) from the left end.
QString TrimLeftWhite(const QString& text);
// Removes white space from both ends.
QString TrimWhite(const QString& text);

// The reply as it is dispatched: the matched end cut off; when the reply holds the request (the
// receiver's echo), everything up to and including it and then the line breaks that follow it;
// finally the line breaks at the end.
QString TrimReply(const QString& reply, int matchedLength, const QString& request);

// The text before its first CR (the whole text when it has none).
QString TruncateAtCR(const QString& text);

// The first field of an auxiliary answer: the text before the first comma, space, tab, CR or LF.
QString FirstAnswerField(const QString& answer);

// Appends a received chunk to the reply buffer, keeping the newest kMaxReplyChars characters.
void AppendToReply(QString& reply, const QString& chunk);

// A user command that, after its leading white space, begins with "@@" is handled locally.
bool IsPseudoCommand(const QString& command);

enum class PseudoFlag { None, ComsDebug, VerboseDebug, FtpDebug };

struct PseudoCommandResult {
    PseudoFlag flag = PseudoFlag::None;
    bool on = false;
    QString answer; // "OK" or "Unrecognised pseudo-command:" and the text
};

// Interprets a pseudo-command (the command with its leading white space removed).
PseudoCommandResult ParsePseudoCommand(const QString& command);

// The text of the Time view from a trimmed time answer, for every family but UCCM (whose time
// string the time-code parser reads).
QString TimeTextFromReply(int family, const QString& reply);
