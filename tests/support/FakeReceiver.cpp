#include "support/FakeReceiver.h"

#include "app/Globals.h"

void FakeReceiver::answer(const QByteArray& command, const QByteArray& reply) {
    std::lock_guard lock(m_mutex);
    m_answers[command] = reply;
}

QList<QByteArray> FakeReceiver::heard() {
    std::lock_guard lock(m_mutex);
    return m_heard;
}

PtyPeer::Responder FakeReceiver::responder() {
    return [this](const QByteArray& command) { return reply(command); };
}

QByteArray FakeReceiver::reply(const QByteArray& command) {
    QByteArray bare = command;
    while (bare.endsWith('\r') || bare.endsWith('\n'))
        bare.chop(1);
    std::lock_guard lock(m_mutex);
    m_heard << bare;
    const auto found = m_answers.constFind(bare);
    const bool known = found != m_answers.constEnd();
    const QByteArray body = known ? *found : QByteArray();
    // The receiver echoes what it heard and ends the echo with a line feed.
    const QByteArray echo = command.endsWith('\n') ? command : command + "\n";
    switch (m_family) {
    case RECEIVER_HP:
        return echo + (known ? body + "\r\nscpi > " : QByteArray("E-113> "));
    case RECEIVER_JACKSON:
        return echo + (known ? body + "\r\nscpi > " : QByteArray("Command Error\r\n"));
    case RECEIVER_DATUM:
        return known ? body + "\r\nEOF\r\n" : QByteArray("\x03");
    case RECEIVER_UCCM:
        return echo + body + (known ? "\r\nCommand Complete\r\nUCCM-P > " : "\r\nCommand Error\r\nUCCM-P > ");
    default:
        return {};
    }
}
