#pragma once
// The outputs that fail again and again while their cause lasts (a file written at every
// interval, an upload at every run), and the reason each fails for now: the operator is told of a
// reason once, and again only after that output has worked, or failed for another reason, in
// between. A reason is the same whatever the figures of the try that met it (FailureReason.h).
// The failures are kept in the order said, so that the latest of those still standing is known.
#include "app/FailureReason.h"

#include <QList>
#include <QString>

#include <algorithm>

enum class ReportedOutput {
    UserWindowFile,
    DebugFile,
    Settings,
    TrackFile,
    DataLog,
    HtmlPage,
    PageTextFile,
    PageMapPicture,
    PageGraphPicture,
    ExportedGraph,
    ExportedMap,
    FtpUpload,
    // A capped file's trims that failed, said apart from its writes: a write that fails for want of
    // room and the next one's trim that fails the same way do not end each other.
    UserWindowFileTrim,
    DebugFileTrim,
    TrackFileTrim,
    DataLogTrim,
    // A capped file's trims whose syncs failed, said apart from its writes: only a trim whose syncs
    // work clears them, not an append.
    UserWindowFileTrimSyncs,
    DebugFileTrimSyncs,
    TrackFileTrimSyncs,
    DataLogTrimSyncs,
    // A capped file's trims in place that went on without their record: only a trim that kept it
    // clears them.
    UserWindowFileTrimRecord,
    DebugFileTrimRecord,
    TrackFileTrimRecord,
    DataLogTrimRecord,
    TimeServer,   // the SNTP service's start after an unattended start of polling
    ReceiverPort, // a receiver port being reopened after it failed or was missing at start
};

class SaidOnceFailures {
    struct Said {
        ReportedOutput output;
        QString text;
    };
    struct Of { // the failure said of one output
        ReportedOutput output;
        bool operator()(const Said& said) const { return said.output == output; }
    };

public:
    // True when `text` is not the reason `output` stands with.
    bool IsNew(ReportedOutput output, const QString& text) const {
        const auto said = std::find_if(m_said.cbegin(), m_said.cend(), Of{output});
        return said == m_said.cend() || !SameReason(said->text, text);
    }
    // The output fails for this reason now: any other it stood with has ended.
    void Remember(ReportedOutput output, const QString& text) {
        if (!IsNew(output, text))
            return;
        m_said.removeIf(Of{output});
        m_said.append(Said{output, text});
    }
    // The output worked, or was switched off or moved: its next failure is new. True when it stood
    // with one.
    bool Forget(ReportedOutput output) { return m_said.removeIf(Of{output}) > 0; }
    // The failure said last of those still standing, of any output; empty when none stands.
    QString Latest() const { return m_said.isEmpty() ? QString() : m_said.constLast().text; }

private:
    QList<Said> m_said; // one per output, in the order said
};
