#include "simulator/TextRequests.h"

#include <QList>
#include <algorithm>
#include <cctype>

namespace sim {

std::optional<QByteArray> TakeRequestLine(QByteArray& pending, int maxLength) {
    while (!pending.isEmpty()) {
        const auto end =
            std::find_if(pending.cbegin(), pending.cend(), [](char c) { return c == '\r' || c == '\n'; });
        if (end == pending.cend()) {
            if (pending.size() < maxLength)
                return std::nullopt;
            QByteArray cut = pending.left(maxLength);
            pending.remove(0, maxLength);
            return cut;
        }
        qsizetype length = end - pending.cbegin() + 1;
        if (*end == '\r' && length < pending.size() && pending.at(length) == '\n')
            ++length;
        QByteArray line = pending.left(length);
        pending.remove(0, length);
        if (line == "\n")
            continue;
        return line;
    }
    return std::nullopt;
}

QByteArray WithoutTerminator(const QByteArray& line) {
    qsizetype n = line.size();
    while (n > 0 && (line.at(n - 1) == '\r' || line.at(n - 1) == '\n'))
        --n;
    return line.left(n);
}

QByteArray EchoOf(const QByteArray& request) {
    if (request.endsWith("\r\n"))
        return request;
    return WithoutTerminator(request) + "\r\n";
}

std::vector<ScpiCommand> SplitCommands(const QByteArray& line) {
    std::vector<ScpiCommand> commands;
    for (const QByteArray& part : WithoutTerminator(line).split(';')) {
        const QByteArray text = part.trimmed();
        if (text.isEmpty())
            continue;
        ScpiCommand command;
        const qsizetype blank = text.indexOf(' ');
        command.header = (blank < 0 ? text : text.left(blank)).toUpper();
        if (command.header.startsWith(':'))
            command.header.remove(0, 1);
        if (blank >= 0)
            command.argument = text.mid(blank + 1).trimmed();
        // "SERVO ?" style: a query mark written apart from its header.
        if (command.argument == "?") {
            command.header += '?';
            command.argument.clear();
        }
        commands.push_back(command);
    }
    return commands;
}

namespace {

bool NodeMatches(const QByteArray& input, const QByteArray& patternNode) {
    for (QByteArray alternative : patternNode.split('|')) {
        // A numeric suffix ("SERial1") belongs to both forms.
        qsizetype digits = 0;
        while (digits < alternative.size() &&
               std::isdigit(static_cast<unsigned char>(alternative.at(alternative.size() - 1 - digits))))
            ++digits;
        const QByteArray suffix = alternative.right(digits);
        if (!input.endsWith(suffix))
            continue;
        alternative.chop(digits);
        const QByteArray stem = input.left(input.size() - digits);
        qsizetype shortLength = 0;
        while (shortLength < alternative.size() &&
               !(alternative.at(shortLength) >= 'a' && alternative.at(shortLength) <= 'z'))
            ++shortLength;
        const QByteArray longForm = alternative.toUpper();
        if (stem.size() >= shortLength && stem.size() <= longForm.size() && longForm.startsWith(stem))
            return true;
    }
    return false;
}

} // namespace

bool HeaderMatches(const QByteArray& header, const char* pattern) {
    QByteArray wanted(pattern);
    const bool query = wanted.endsWith('?');
    if (query != header.endsWith('?'))
        return false;
    if (query)
        wanted.chop(1);
    const QByteArray given = query ? header.left(header.size() - 1) : header;
    const QList<QByteArray> patternNodes = wanted.split(':');
    const QList<QByteArray> inputNodes = given.toUpper().split(':');
    if (patternNodes.size() != inputNodes.size())
        return false;
    for (qsizetype i = 0; i < patternNodes.size(); ++i) {
        if (!NodeMatches(inputNodes.at(i), patternNodes.at(i)))
            return false;
    }
    return true;
}

} // namespace sim
