// The view's glue over the receiver state decoders: position, lock state, satellite table with
// its track file, and the status screen.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/TickCount.h"
#include "platform/WallClock.h"
#include "receiver/LockState.h"
#include "receiver/PositionParser.h"
#include "receiver/SatelliteParser.h"
#include "receiver/SatelliteTrackFile.h"
#include "receiver/StatusFormatter.h"

void CChildView::ParsePosition(const QString& text) {
    if (text.isEmpty())
        return;
    if (!PositionReadDue(m_nPositionCalls, m_dLatitude, m_dLongitude))
        return;
    const PositionFields position = ParsePositionText(text, g_nReceiverType);
    if (position.latitude)
        m_dLatitude = *position.latitude;
    if (position.longitude)
        m_dLongitude = *position.longitude;
    if (position.height)
        m_dHeight = *position.height;
}

void CChildView::ParseLockState(const QString& text) {
    m_bTimeValid = TimeValidFromStatus(text, g_nReceiverType);
    if (!m_bSetTimePending)
        m_bSetTimeEnabled = m_bTimeValid;
}

void CChildView::ParseSatellites(const QString& text) {
    if (text.isEmpty())
        return;
    const auto answerTime = static_cast<std::uint32_t>(platform::CurrentWallClock().now().tv_sec);
    const SatelliteAnswerResult result =
        ParseSatelliteAnswer(text, g_nReceiverType, SatelliteTable{m_sat, m_strSatExtra, m_nSatsInReply});
    if (result.end != SatelliteAnswerEnd::Normal)
        return;
    if (result.changed) {
        m_wndMap.m_bCacheValid = false;
        m_wndMap.update();
        const DWORD now = platform::GetTickCount();
        if (!m_strDumpPath.isEmpty() && m_nTrackInterval != 0 &&
            static_cast<DWORD>(now - m_dwLastTrack) > static_cast<DWORD>(m_nTrackInterval)) {
            m_dwLastTrack = now;
            QString reason;
            QString trimFailure;
            platform::TrimSyncs trimSyncs;
            const bool written = AppendTrackSnapshot(m_strDumpPath, m_sat, m_nSatsInReply, answerTime,
                                                     m_nTrackMaxSize, &reason, &trimFailure, &trimSyncs);
            ReportFileWrite(ReportedOutput::TrackFile, written, QStringLiteral("write the track file"),
                            m_strDumpPath, reason, trimFailure, trimSyncs);
        }
    }
    m_strChannelValue[g_nReceiverType == RECEIVER_DATUM ? 2 : 3] = QString::number(m_nSatsInReply);
}

QString CChildView::FormatStatus(const QString& raw) {
    StatusScreenInputs in;
    in.receiverType = g_nReceiverType;
    in.rawStatus = m_bRawStatus;
    in.sats = m_sat;
    in.satExtra = m_strSatExtra;
    in.saasmGps = m_bSaasmGps;
    in.identity = m_strIdentity;
    in.lifeCount = m_strLifeCount;
    in.step3Reply = m_strStep3Reply;
    in.feeReply = m_strFeeReply;
    in.healthReply = m_strHealthReply;
    in.measReply = m_strMeasReply;
    in.efc = m_strChannelValue[0];
    in.ti = m_strChannelValue[1];
    in.leapCorrection = m_nLeapCorrection;
    in.latitude = m_dLatitude;
    in.longitude = m_dLongitude;
    in.height = m_dHeight;
    StatusScreen screen = FormatStatusScreen(raw, in);
    m_bSaasmGps = screen.saasmGps;
    m_strMeasReply = screen.measReply;
    return screen.text;
}
