#pragma once
// The graph exported at every interval to a path where a FIFO stands: a failure that lasts, said
// once, for as long as the FIFO stays.
#include "app/ChildView.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

// Points the view's graph export at a FIFO made in `folder`; the failure it is said with.
inline QString ExportTheGraphIntoAFifo(CChildView& view, const QTemporaryDir& folder) {
    const QString graph = folder.filePath(QStringLiteral("graph.png"));
    EXPECT_EQ(::mkfifo(QFile::encodeName(graph).constData(), 0600), 0);
    view.m_strGraphExportPath = graph;
    view.m_nExportInterval = 1;
    return QStringLiteral("Unable to write the exported graph: cannot write %1: not a regular file")
        .arg(graph);
}
