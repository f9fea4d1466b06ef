#include "app/OutputPlaces.h"

namespace {

QStringList When(bool on, const QStringList& place) {
    return on ? place : QStringList();
}

} // namespace

OutputPlaces PlacesOfOutputs(const ViewSettings& s) {
    using enum ReportedOutput;
    // An interval of 0 never falls due: that output is off.
    const QStringList log = When(s.m_nLogInterval != 0, {s.m_strLogPath});
    const QStringList track = {s.m_strDumpPath};
    const QStringList user = When(s.m_bUserToFile, {s.m_strUserPath});
    const QStringList debug = When(s.m_bDebugEnable, {s.m_strDebugPath});
    const QStringList page = When(s.m_bHtmlStatus, {s.m_strHtmlPath});
    const QStringList pictures = When(s.m_bHtmlStatus, {s.m_strHtmlPath, s.m_strImageFileType});
    const QStringList upload = When(s.m_bHtmlStatus && s.m_nFtpInterval != 0,
                                    {s.m_strFtpServer, s.m_strFtpAccount, s.m_strFtpDirectory,
                                     s.m_strHtmlPath, s.m_strImageFileType, s.m_strFtpAdditionalFiles});
    return {
        {DataLog, log},
        {DataLogTrim, log},
        {DataLogTrimSyncs, log},
        {DataLogTrimRecord, log},
        {TrackFile, track},
        {TrackFileTrim, track},
        {TrackFileTrimSyncs, track},
        {TrackFileTrimRecord, track},
        {UserWindowFile, user},
        {UserWindowFileTrim, user},
        {UserWindowFileTrimSyncs, user},
        {UserWindowFileTrimRecord, user},
        {DebugFile, debug},
        {DebugFileTrim, debug},
        {DebugFileTrimSyncs, debug},
        {DebugFileTrimRecord, debug},
        {HtmlPage, page},
        {PageTextFile, page},
        {PageMapPicture, pictures},
        {PageGraphPicture, pictures},
        {FtpUpload, upload},
        {ExportedGraph, When(s.m_nExportInterval != 0, {s.m_strGraphExportPath})},
        {ExportedMap, When(s.m_nExportInterval != 0, {s.m_strMapExportPath})},
        {TimeServer, When(s.m_bSntpEnabled, {QString::number(s.m_nSntpPort)})},
    };
}

QList<ReportedOutput> MovedOutputs(const OutputPlaces& before, const OutputPlaces& after) {
    QList<ReportedOutput> moved;
    for (const auto& [output, place] : after)
        if (const auto was = before.find(output); was == before.end() || was->second != place)
            moved.append(output);
    return moved;
}
