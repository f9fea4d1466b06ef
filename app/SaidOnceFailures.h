#pragma once
// The outputs that fail again and again while their cause lasts (a file written at every
// interval, an upload at every run), and the failures said for each since it last worked: the
// operator is told of each once, and again only after that output has worked in between. A file
// can fail two ways by turns (a long line that finds no room, and its trim), each said once.
// The failures are kept in the order said, so that the latest of those still standing is known.
#include <QList>
#include <QString>
#include <QStringList>

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
    // A capped file's trims whose syncs failed or that went on without their record, said apart
    // from its writes: only a trim whose syncs work and that kept it clears them, not an append.
    UserWindowFileTrimSyncs,
    DebugFileTrimSyncs,
    TrackFileTrimSyncs,
    DataLogTrimSyncs,
    TimeServer, // the SNTP service's start after an unattended start of polling
};

class SaidOnceFailures {
    struct Said {
        ReportedOutput output;
        QString text;
        bool operator==(const Said&) const = default;
    };
    struct Of { // the failures said of one output
        ReportedOutput output;
        bool operator()(const Said& said) const { return said.output == output; }
    };

public:
    // True when `text` was not said for `output` since it last worked.
    bool IsNew(ReportedOutput output, const QString& text) const {
        return !m_said.contains(Said{output, text});
    }
    void Remember(ReportedOutput output, const QString& text) {
        if (!IsNew(output, text))
            return;
        // A failure whose text keeps changing stays bounded.
        if (std::count_if(m_said.cbegin(), m_said.cend(), Of{output}) == kKeptPerOutput)
            m_said.erase(std::find_if(m_said.cbegin(), m_said.cend(), Of{output}));
        m_said.append(Said{output, text});
    }
    // The output worked: its next failures are new. Returns those said since it last worked.
    QStringList Forget(ReportedOutput output) {
        QStringList forgotten;
        for (const Said& said : m_said)
            if (Of{output}(said))
                forgotten.append(said.text);
        m_said.removeIf(Of{output});
        return forgotten;
    }
    // The failure said last of those still standing, of any output; empty when none stands.
    QString Latest() const { return m_said.isEmpty() ? QString() : m_said.constLast().text; }

private:
    static constexpr qsizetype kKeptPerOutput = 8;

    QList<Said> m_said; // in the order said
};
