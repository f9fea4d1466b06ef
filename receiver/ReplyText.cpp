#include "receiver/ReplyText.h"

#include "app/Globals.h"
#include "receiver/NumberText.h"

namespace {

bool IsLineBreak(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

QString TrimLeftWhite(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && IsAsciiSpace(text[start]))
        ++start;
    return text.mid(start);
}

QString TrimWhite(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && IsAsciiSpace(text[end - 1]))
        --end;
    return TrimLeftWhite(text.left(end));
}

QString TrimReply(const QString& reply, int matchedLength, const QString& request) {
    qsizetype n = reply.size() - std::max(0, matchedLength);
    if (n <= 0)
        return {};
    QString text = reply.left(n);
    const qsizetype echo = text.indexOf(request);
    if (echo >= 0) {
        text.remove(0, echo + request.size());
        while (!text.isEmpty() && IsLineBreak(text[0]))
            text.remove(0, 1);
        if (text.isEmpty())
            return text;
    }
    n = text.size();
    while (n > 0 && IsLineBreak(text[n - 1]))
        --n;
    text.truncate(n);
    return text;
}

QString TruncateAtCR(const QString& text) {
    const qsizetype cr = text.indexOf(QLatin1Char('\r'));
    return cr < 0 ? text : text.left(cr);
}

QString FirstAnswerField(const QString& answer) {
    for (qsizetype i = 0; i < answer.size(); ++i) {
        const QChar c = answer[i];
        if (c == QLatin1Char(',') || c == QLatin1Char(' ') || c == QLatin1Char('\t') || IsLineBreak(c))
            return answer.left(i);
    }
    return answer;
}

void AppendToReply(QString& reply, const QString& chunk) {
    reply += chunk;
    if (reply.size() > kMaxReplyChars)
        reply.remove(0, reply.size() - kMaxReplyChars);
}

bool IsPseudoCommand(const QString& command) {
    return TrimLeftWhite(command).startsWith(QStringLiteral("@@"));
}

PseudoCommandResult ParsePseudoCommand(const QString& command) {
    QString text = command.mid(2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (IsLineBreak(text[i])) {
            text.truncate(i);
            break;
        }
    }
    text = text.toUpper();

    struct Entry {
        const char* text;
        PseudoFlag flag;
        bool on;
    };
    static constexpr Entry kTable[] = {
        {"DB", PseudoFlag::ComsDebug, true},    {"/DB", PseudoFlag::ComsDebug, false},
        {"VB", PseudoFlag::VerboseDebug, true}, {"/VB", PseudoFlag::VerboseDebug, false},
        {"DF", PseudoFlag::FtpDebug, true},     {"/DF", PseudoFlag::FtpDebug, false},
    };
    PseudoCommandResult result;
    for (const Entry& entry : kTable) {
        if (text == QLatin1String(entry.text)) {
            result.flag = entry.flag;
            result.on = entry.on;
            result.answer = QStringLiteral("OK");
            return result;
        }
    }
    result.answer = QStringLiteral("Unrecognised pseudo-command:") + text;
    return result;
}

QString TimeTextFromReply(int family, const QString& reply) {
    const qsizetype n = reply.size();
    if (n < 3)
        return reply;
    switch (family) {
    case RECEIVER_DATUM: {
        const qsizetype dot = reply.indexOf(QLatin1Char('.'));
        if (dot >= 9)
            return reply.mid(dot - 8, 8);
        return reply;
    }
    case RECEIVER_HP:
    case RECEIVER_JACKSON:
        if (reply[0] == QLatin1Char('"'))
            return reply.mid(1, n - 2);
        return reply;
    default:
        return reply;
    }
}
