#pragma once
// The outputs that fail again and again while their cause lasts (a file written at every
// interval, an upload at every run), and the failures said for each since it last worked: the
// operator is told of each once, and again only after that output has worked in between. A file
// can fail two ways by turns (a long line that finds no room, and its trim), each said once.
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <utility>

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
    // A capped file's trims whose syncs failed, said apart from its writes: only a trim whose syncs
    // work clears them, not an append.
    UserWindowFileTrimSyncs,
    DebugFileTrimSyncs,
    TrackFileTrimSyncs,
    DataLogTrimSyncs,
    TimeServer, // the SNTP service's start after an unattended start of polling
};

class SaidOnceFailures {
public:
    // True when `text` was not said for `output` since it last worked.
    bool IsNew(ReportedOutput output, const QString& text) const { return !Said(output).contains(text); }
    void Remember(ReportedOutput output, const QString& text) {
        QStringList& said = Said(output);
        if (said.contains(text))
            return;
        if (said.size() == kKeptPerOutput) // a failure whose text keeps changing stays bounded
            said.removeFirst();
        said.append(text);
    }
    // The output worked: its next failures are new. Returns those said since it last worked.
    QStringList Forget(ReportedOutput output) { return std::exchange(Said(output), QStringList()); }

private:
    static constexpr std::size_t kOutputs = static_cast<std::size_t>(ReportedOutput::TimeServer) + 1;
    static constexpr qsizetype kKeptPerOutput = 8;
    QStringList& Said(ReportedOutput output) { return m_said[static_cast<std::size_t>(output)]; }
    const QStringList& Said(ReportedOutput output) const { return m_said[static_cast<std::size_t>(output)]; }

    std::array<QStringList, kOutputs> m_said;
};
