#pragma once
// A scripted text receiver for the far end of a PtyPeer: it answers each command the way the
// family does (echo, answer lines, prompt), from a table of answers by command.
#include "support/PtyPeer.h"

#include <QByteArray>
#include <QMap>
#include <memory>
#include <mutex>

class FakeReceiver {
public:
    explicit FakeReceiver(int family) : m_family(family) {}

    // The answer to a command (given without its CR or CR LF). A command without an answer gets
    // the family's error reply.
    void answer(const QByteArray& command, const QByteArray& reply);
    // The commands heard so far, without line ends, in order.
    QList<QByteArray> heard();

    PtyPeer::Responder responder();

private:
    QByteArray reply(const QByteArray& command);

    int m_family;
    std::mutex m_mutex;
    QMap<QByteArray, QByteArray> m_answers;
    QList<QByteArray> m_heard;
};
