#pragma once
// The outputs that fail again and again while their cause lasts (a file written at every
// interval, an upload at every run), and the failure last said for each: the operator is told
// once, and again only after that output has worked in between or fails for another reason.
#include <QString>

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
    FtpUpload,
    TimeServer, // the SNTP service's start after an unattended start of polling
};

class SaidOnceFailures {
public:
    // True when `text` is not the failure last said for `output`.
    bool IsNew(ReportedOutput output, const QString& text) const { return Said(output) != text; }
    void Remember(ReportedOutput output, const QString& text) { Said(output) = text; }
    // The output worked: its next failure is new. Returns the failure that was last said, if any.
    QString Forget(ReportedOutput output) { return std::exchange(Said(output), QString()); }

private:
    static constexpr std::size_t kOutputs = static_cast<std::size_t>(ReportedOutput::TimeServer) + 1;
    QString& Said(ReportedOutput output) { return m_said[static_cast<std::size_t>(output)]; }
    const QString& Said(ReportedOutput output) const { return m_said[static_cast<std::size_t>(output)]; }

    std::array<QString, kOutputs> m_said;
};
