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

} // namespace

QString WithoutTryFigures(const QString& text) {
    QString reason = text;
    for (const QRegularExpression& figures : kTryFigures)
        reason.replace(figures, QStringLiteral("\\1#\\2"));
    return reason;
}
