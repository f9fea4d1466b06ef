#include "app/FailureReason.h"

#include <QRegularExpression>

namespace {

// libcurl's wordings of a try's elapsed time and of the bytes it got: the figure between the two
// captured parts is the try's own.
const QRegularExpression kTryFigures[] = {
    // "Failed to connect to <host> port <port> after <ms> ms: <error>"
    QRegularExpression(QStringLiteral(R"((\bport \d+ after )\d+( ms\b))")),
    // "Connection timed out after <ms> milliseconds", "Connection timeout after <ms> ms",
    // "Failed to resolve host '<host>' with timeout after <ms> ms"
    QRegularExpression(QStringLiteral(R"((\btime(?:d out|out) after )\d+( ms\b| milliseconds\b))")),
    // "... milliseconds with <got> out of <expected> bytes received", "... with <got> bytes received"
    QRegularExpression(QStringLiteral(R"((\bmilliseconds with )\d+(?: out of \d+)?( bytes received\b))")),
};

// libcurl words a connect that timed out by where the time ran out (in the connect itself, or in
// the transfer's clock while connecting), differently from one try to the next against the same
// silent server: one reason. The host and port it drops can change only with the settings, which
// end the failure anyway.
const QRegularExpression kConnectTimedOut(
    QStringLiteral(R"(\bFailed to connect to \S+ port \d+ after \d+ ms: Timeout was reached\b|)"
                   R"(\bConnection timed out after \d+ milliseconds\b|\bConnection timeout after \d+ ms\b)"));
const QString kConnectTimedOutReason = QStringLiteral("Connection timeout after # ms");

} // namespace

QString WithoutTryFigures(const QString& text) {
    QString reason = text;
    reason.replace(kConnectTimedOut, kConnectTimedOutReason);
    for (const QRegularExpression& figures : kTryFigures)
        reason.replace(figures, QStringLiteral("\\1#\\2"));
    return reason;
}
