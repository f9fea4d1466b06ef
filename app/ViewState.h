#pragma once
// The main view's state that is not a setting, grouped by concern, with its initial values.
#include "app/ViewSettings.h"
#include "receiver/ProteusFrames.h"
#include "receiver/SatInfo.h"

#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <memory>

namespace platform {
class SerialPort;
}

constexpr int kCommandButtons = 40;

struct ButtonDefinition {
    QString label;
    QString command;
};

// The serial ports. A null receiver port means stopped.
struct ConnectionState {
    std::unique_ptr<platform::SerialPort> m_hComPort; // receiver port
    std::unique_ptr<platform::SerialPort> m_hAuxPort; // auxiliary port
    platform::SerialPort* m_hActivePort = nullptr;   // port of the request in flight (one of the two)
    // Mirrors whether m_hComPort is open, for the SNTP thread.
    std::atomic<bool> m_bPortOpen{false};
    bool m_bStopAfterCommand = false;  // port opened only for a queued command
    bool m_bResumeAfterSuspend = false; // port was open at suspend
    // The receiver port failed while polling (not stopped by the operator): it is reopened every
    // kReconnectIntervalMs, and polling starts again once it opens.
    bool m_bReconnecting = false;
};

struct PollState {
    int m_nPollStep = 1;       // 0 to 19
    int m_nWaitCount = 0;      // reply countdown in poll ticks; 0 is the send phase
    QString m_strRequest;      // request of the current step as sent
    QString m_strReply;        // receive buffer of the current step
    QString m_strUserCommand;  // pending operator command (step 18)
    QStringList m_listCommands; // the command queue
    QString m_strPrompts;      // the family's end-of-reply pattern list
    std::array<QString, kPollSlots> m_strPollCommand; // poll request of each slot
    int m_nTimeouts = 0;
    int m_nAuxIndex = -1;
    int m_nAuxFirst = -1;
    bool m_bLedOn = false;
    std::array<int, 4> m_nProteusEfc{}; // the four previous Proteus EFC readings, oldest first
    ProteusEfcState m_proteusEfc;       // from the latest good EFC frame; kept across Start and Stop
};

struct ReplyState {
    QString m_strIdentity;
    QString m_strLifeCount;
    QString m_strStep3Reply;
    QString m_strFeeReply;
    QString m_strHealthReply;
    QString m_strMeasReply;
    QString m_strRawStatus;
    std::array<QString, kGraphChannels> m_strChannelValue; // current value of channels 1 to 8
    std::array<QString, kAuxRequests> m_strAuxAnswer;
    bool m_bSaasmGps = false;
    bool m_bRawStatus = false; // show the status answer unformatted (menu, not saved)
};

struct ControlsState {
    QString m_strCommandList; // ';'-separated command list of the command box
    std::array<ButtonDefinition, kCommandButtons> m_strButton;
};

struct SatelliteState {
    std::array<CSatInfo, kSatelliteSlots> m_sat{};
    std::array<QString, kSatelliteSlots> m_strSatExtra;
    int m_nSatsInReply = 0;
    double m_dLatitude = 0.0;
    double m_dLongitude = 0.0;
    double m_dHeight = 0.0;
    std::uint32_t m_nPositionCalls = 0; // answers offered to ParsePosition; never reset
};

struct TimeState {
    bool m_bTimeValid = false;
    bool m_bSetTimePending = false;
    bool m_bSetTimeEnabled = false;
    QString m_strSetTimeReply;
    bool m_bPrivilegeEnabled = false;
    bool m_bRolloverReported = false; // a GPS week rollover has been told on the diagnostic lines
};

struct TimedOutputState {
    DWORD m_dwLastLog = 0;
    DWORD m_dwLastHtml = 0;
    DWORD m_dwLastFtp = 0;
    DWORD m_dwLastExport = 0;
    DWORD m_dwLastSetTime = 0;
    DWORD m_dwLastTrack = 0;
    int m_nTrackInterval = 10000; // ms between two track-file snapshots
    int m_nLogLines = 0;
};

struct DisplayState {
    bool m_bLogDue = false;
    int m_cxClient = 0;
    int m_cyClient = 0;
    QFont m_fontTime;
    QFont m_fontStatus;
    QFont m_fontUserSmall;
    QFont m_fontUserLarge;
    QIcon m_hIcon;
    bool m_bTrayIcon = false;
    bool m_bMapBackdropReadable = false; // as CheckMapBackdrop last found Map/Path
};

struct ViewFlags {
    bool m_bInitialised = false;
    bool m_bUpdateAllEnabled = false;
    bool m_bOptionsEnabled = true;
    bool m_bForceUpdate = false;
    bool m_bOldRegVersion = false;
    bool m_bOldLogVersion = false;
};
