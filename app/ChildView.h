#pragma once
// The main view: owns every setting, the receiver and connection state, the command queue, the
// fonts and the three child windows of the display area. Its methods are thin glue over the pure
// code in receiver/, timeservice/, displays/, publishing/ and settings/.
#include "app/CommandIds.h"
#include "app/SaidOnceFailures.h"
#include "app/TextWnd.h"
#include "app/ViewSettings.h"
#include "app/ViewState.h"
#include "displays/GraView.h"
#include "displays/MapWnd.h"
#include "platform/CappedFile.h"
#include "publishing/FtpUploader.h"
#include "settings/WindowPlacement.h"
#include "timeservice/SetTimeSession.h"
#include "timeservice/TimeServer.h"

#include <QBasicTimer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <map>
#include <memory>
#include <set>

class CMainFrame;
class CvDlgBar;
class QAction;

class CChildView : public QWidget,
                   public ViewSettings,
                   public ConnectionState,
                   public PollState,
                   public ReplyState,
                   public ControlsState,
                   public SatelliteState,
                   public TimeState,
                   public TimedOutputState,
                   public DisplayState,
                   public ViewFlags {
    Q_OBJECT

public:
    explicit CChildView(QWidget* parent = nullptr);
    ~CChildView() override;
    CChildView(const CChildView&) = delete;
    CChildView& operator=(const CChildView&) = delete;

    // ---- creation and start-up ----
    // Links the view to its frame and dialog bar and starts the start-up timer.
    void OnCreate(CMainFrame* frame, CvDlgBar* dialogBar);
    void Initialise();
    // Shut-down: stops polling, saves the settings and kills the timers. Runs once.
    void OnDestroy();
    bool IsRunning() const { return m_hComPort != nullptr; }

    // ---- command routing ----
    // Offers a command to the view; true when the view handled it.
    bool OnCmdMsg(int id);
    // Sets the check mark and enabling of a command's action; true when the view knows the command.
    bool OnUpdateCmdUI(int id, QAction& action);

    // ---- timers ----
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool IsTimerActive(int id) const;
    // The period a timer was last armed with, -1 when it never was.
    int TimerPeriod(int id) const;
    // A queued call of OnTimer, as a posted timer message.
    void PostTimer(int id);
    void OnTimer(int id);

    // ---- settings store ----
    void LoadSettings();
    void SaveSettings();

    // ---- receiver profiles and the Options sheet ----
    bool OnSettingsCommand(int id);
    bool OnUpdateSettingsCommand(int id, QAction& action) const;
    // Writes the current family's buttons and the graph set-up into the profile at path, keeping
    // the rest of an existing file; false when the file cannot be read or written.
    bool WriteProfile(const QString& path, QString* reason = nullptr);
    // Reads the buttons and command list (and, withGraph, the graph set-up) of the profile
    // m_strProfilePath; false when it cannot be read.
    bool ReadProfile(bool withGraph);
    void OnExportProfile();
    void OnImportProfile();
    void OnClearProfile();
    // Options: stops the port while the sheet is open, saves after OK, starts the port again.
    void OnOptions();
    // Shows the sheet over the settings; true when the operator pressed OK (the entries taken).
    bool DoOptionsDialog();

    // ---- diagnostic lines and title ----
    void UserWindowLine(QString text);
    void AppendUserFile(const QString& text);
    void DebugToFile(QString text);
    SaidOnceFailures m_saidFailures; // the reason each output fails for now
    // Says a failure of `output` once, in the user window and on the status bar, whatever the
    // switches: not again while it fails for the same reason, until ReportWorking. True when said now.
    bool ReportFailure(ReportedOutput output, const QString& text);
    // The output worked: its next failure is said again, and the status bar drops its failure.
    void ReportWorking(ReportedOutput output);
    // The output's failure has ended, as when it works: it was switched off or pointed elsewhere,
    // or it is no longer tried.
    void EndFailures(ReportedOutput output);
    // The status bar shows the latest failure said that still stands, of any output, and goes
    // blank only when none does.
    void ShowStandingFailure();
    // A file that could not be written ("write the debug file", its path, the system's reason),
    // through ReportFailure. True when said now.
    bool ReportFileFailure(ReportedOutput output, const QString& what, const QString& path,
                           const QString& reason);
    // A capped file's trim: syncs that failed, and a move that went on without its record, are said
    // once, apart from the file's writes, until a trim of the file whose syncs work and that kept it.
    void ReportTrimSyncs(ReportedOutput output, const QString& path, const platform::TrimSyncs& trimSyncs);
    // A write's outcome: a success goes to ReportWorking; a failure of a named file goes to
    // ReportFileFailure, and so does, apart from the file's writes, a written file that stays past
    // its size limit because its trim failed (`trimFailure`); its trim's syncs go to ReportTrimSyncs.
    void ReportFileWrite(ReportedOutput output, bool written, const QString& what, const QString& path,
                         const QString& reason, const QString& trimFailure = {},
                         const platform::TrimSyncs& trimSyncs = {});
    // Whether the capped file has a size limit now: the data log and the track file may have none,
    // and a trim of one that has none only finishes a move begun under an earlier limit.
    bool HasSizeLimit(ReportedOutput file) const;
    // A picture's write ("the exported graph", "the page's map picture"): a success goes to
    // ReportWorking, a failure to ReportFailure with the writer's reason.
    void ReportPictureWrite(ReportedOutput output, const QString& picture, const ImageWriteResult& result);
    // A diagnostic line, to the debug file and the user window as their switches say.
    void Diagnostic(const QString& text);
    void UpdateTitle();

    // ---- layout, view modes ----
    void RecalcLayout();
    void OnViewAll();
    void OnViewStatus();
    void OnViewTime();
    void OnViewMap();
    void OnViewGraph();
    // Switches the view mode, giving the text window the text the new mode shows.
    void SetViewMode(int mode);

    // ---- receiver family defaults ----
    // Neutral graph channels, aux requests, poll-slot flags, C/N channels; auto-run off.
    void ResetGraphChannels();
    // The family's forty buttons and command list from the built-in tables.
    void LoadDefaultButtons();
    // The whole set-up of the current family; saves nothing.
    void SetReceiverDefaults();

    // ---- receiver link and poll cycle ----
    // Does nothing while running or once shut-down has begun.
    void OnStart();
    // A start that no operator watches (auto-run, resume, the retries): its port failures are said
    // in the user window and on the status bar, and a receiver port that does not open is retried
    // every kReconnectIntervalMs.
    void StartUnattended();
    void OnStop();
    // The operator's Stop: also ends the reopening of a failed port.
    void OnStopCommand();
    // The line failed while polling: stop, clear the live values from the screen and reopen the
    // port every kReconnectIntervalMs, starting again as the operator would once it opens. A port
    // opened for one queued command just closes.
    void OnPortFailure();
    // The poll tick's check: when the receiver port has failed, OnPortFailure and true.
    bool ActOnLostLine();
    void ReconnectTick();
    // Byte-level traffic on one port (the receiver's or the auxiliary one).
    bool WriteCommand(platform::SerialPort* port, const QString& text);
    bool ReadText(platform::SerialPort* port, QString& text);
    // Reads up to maxBytes into bytes; true when at least one byte came.
    bool ReadBinary(platform::SerialPort* port, QByteArray& bytes, int maxBytes);
    QString SendAndWait(platform::SerialPort* port, const QString& command, int waitMs);
    void PollTick();
    void UserCommandTick();
    void DoPseudoCommand(const QString& command);
    void NextPollStep();
    int FirstAuxChannel();
    QString GetAuxAnswer(int channel);
    // The poll timer's period now: the fast one in the Time view.
    int PollPeriod() const;

    // ---- reply dispatch ----
    void HandleReply();
    static bool ValidateNumber(QString& text);
    QString FormatPeakTroughCN(bool peak) const;

    // ---- data log ----
    // Appends one record of the eight channels to the data log and arms the graph's refresh.
    void UpdateLogFile();

    // ---- time codes, setting the PC clock, SNTP service ----
    // "Set time": asks the receiver for its time until the reply changes, then sets the clock.
    void OnSetTime();
    void OnUpdateSetTime(QAction& action);
    // Parses a time code of the current family; sets the clock from it (set) or writes the
    // corrected time into `shown`.
    void SetTimeFromCode(const QString& code, bool set, QString& shown);
    void DeHexTimeStamps();
    // Whether the complete reply of this poll tick belongs to the running Set time.
    bool IsSetTimeReply() const;
    // The Set time's handling of its reply. True when the sequence is over (the cycle moves on to
    // its next step); false when the next request has been posted at once.
    bool SetTimeSequence(const QString& reply);
    // Ends a running Set time without setting the clock (time-out, Stop); the reason, when
    // given, goes to the diagnostic lines.
    void AbandonSetTime(const QString& reason = {});
    // Abandons a Set time that has waited too long for a change (user-command tick).
    void CheckSetTimeExpiry();
    void StartTimeServer();
    void StopTimeServer();

    // ---- operator controls: dialog bar, menu commands, tray icon, placement ----
    // The dialog bar's and the operator menu's commands and their check marks and enabling.
    bool OnControlCommand(int id);
    bool OnUpdateControlCommand(int id, QAction& action);
    void OnUpdateWhenStopped(QAction& action) const;
    void OnUpdateWhenRunning(QAction& action) const;
    // Dialog bar: each queues its command at the tail of m_listCommands.
    void OnSendButton();
    void OnCommandButton(int index); // button index 0 to 39
    void OnClearUserWindow();
    void OnLargeFont();
    void OnMaxTextUserWindow();
    void FillCommandCombo();
    // Refills the command box and relabels the forty buttons after the buttons or list changed.
    void UpdateDialogBar();
    QString OnToolTipText(int id) const;
    // Menu commands.
    void OnAutoRun();
    void OnReceiverFamily(int family);
    void OnLockTiExtents();
    // "Export": the graph and map images; while polling, the port is closed meanwhile.
    void OnExport();
    // "Animate satellites ...": the track file's replay, then an empty satellite table.
    void OnAnimateSatellites();
    void OnUpdateAll();
    void OnMapBackdropFile();
    // Whether Map/Path names a readable file, into m_bMapBackdropReadable. Run when the path
    // changes and when a menu is about to show, never from the periodic refresh of the toolbar.
    void CheckMapBackdrop();
    void OnHide();
    void OnTrayNotify(QSystemTrayIcon::ActivationReason reason);
    // While the window is hidden to the tray: a tray that has gone (a panel that quit or
    // crashed) gives the window back, which would otherwise have no way back to the screen.
    void TrayWatchTick();
    void RemoveTrayIcon();
    void OnAppAbout();
    // The frame's placement in Initial/WindowPos; false when none is stored or it is malformed.
    bool LoadWindowPlacement(WindowPlacement& placement) const;
    void SaveWindowPlacement(const WindowPlacement& placement) const;

    // ---- image export ----
    // The graph and the map to their export paths at the export size; the graph's channel 2 on
    // the time-interval export scale while it is drawn.
    void ExportImages();

    // ---- receiver state decoders and status screen ----
    void ParsePosition(const QString& text);
    void ParseLockState(const QString& text);
    void ParseSatellites(const QString& text);
    QString FormatStatus(const QString& raw);

    // ---- HTML status page and FTP upload ----
    // The page's path and the names derived from it; the data log and the track file.
    QString GetHtmlPath() const;
    QString GetLogPath() const;
    QString GetDumpPath() const;
    QString GetGraphImageName() const; // empty without an image type
    QString GetMapImageName() const;   // empty without an image type
    QString GetCssFileName() const;
    QString GetTxtFileName() const;
    QString GetIncFileName() const;
    static QString GetFileNamePart(const QString& path);
    // Writes the images, the ".txt" companion and the page with this status text.
    void UpdateHtml(const QString& statusText);
    // Starts an upload run of the page and its files when the FTP interval or Update all asks
    // for it; skips it, said once until a run starts again, while the last run is still going.
    void FtpUpload();
    // Whether a run has started and its last line is not yet shown.
    bool IsFtpUploadRunning() const { return m_bFtpRunning; }
    // Ends a run within a second (Stop, the Options sheet); EndFtpUpload also waits for its thread
    // (exit).
    void AbortFtpUpload();
    void EndFtpUpload();

    // ---- NavSymm Proteus ----
    // Reads one frame from the active port and decodes it into the view's state and the reply;
    // false when nothing came or the frame was refused.
    bool ReadProteus(QString& reply);

    // ---- links and children ----
    CvDlgBar* m_pDlgBar = nullptr;
    CMainFrame* m_pMainFrame = nullptr;
    CMapWnd m_wndMap;
    CGraView m_wndGraph;
    CTextWnd m_wndText;

    // The default file paths in the data folder (Documents/Orvane), empty without a Documents folder.
    static QString DataFolder();

protected:
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // OnCmdMsg's routing of the command to its handler.
    bool DispatchCommand(int id);
    void SetDefaultFilePaths();
    void ChooseFile(QString& path);
    void InvalidateMap();

    std::unique_ptr<QSystemTrayIcon> m_pTrayIcon;
    // The main window's state when it was hidden to the tray: what the window manager says of
    // the hidden window is no guide (it drops a withdrawn window's maximised state).
    Qt::WindowStates m_trayHiddenState;
    // The stored receiver port while a command-line port is in use (null otherwise).
    QString m_strStoredComPort;

    // Receiver link and poll cycle.
    bool OpenPorts();
    // A port that cannot be opened or set up: a message box, or at an unattended start, the
    // status bar and the retries (receiver port) or the user window (auxiliary port).
    void ReportOpenFailure(const QString& text, bool receiverPort);
    // Arms the retries and says why in the user window (and the debug file).
    void BeginReconnect(const QString& line);
    void EndReconnect();
    // The reason the receiver port is being reopened: it stands, on the status bar, as a failure
    // said once, until the port reopens or Stop ends the retries.
    void ShowPortFailure(const QString& text);
    void ClearLiveValues();
    // Puts an operator command taken but not sent back at the head of the queue.
    void RequeueUserCommand();
    void RunStartupExchange();
    void ProbeJacksonChannel2();
    void ReadLeapSeconds(const QString& command, int digits, int tries);
    void ReadUccmLeapSeconds();
    void WaitOnPort(platform::SerialPort* port, int ms);
    void EchoTraffic(const QString& text);
    // What a text for the user window and its file is: traffic and replies go as they come; a line
    // of the program's own starts on a line of its own; one that says a failure (ReportFailure) is
    // no sign that the user-window file works when it fits there.
    enum class UserText { AsItComes, Line, FailureLine };
    void PutUserWindowLine(const QString& text, UserText kind);
    void WriteUserFile(const QString& text, UserText kind);
    void SendPhase();
    void ReceivePhase();
    void ReplyTimeout();
    void RearmPoll(int periodMs);
    void TimeStep(const QString& reply);
    void StatusStep();
    void UserStep();
    void ShowDebugFields();

    // Where other parts of the program join the poll cycle.
    bool SetTimeReply();                         // the Set-time sequence's reply
    QString UccmTimeOfDay(const QString& reply); // "hh:mm:ss" of a UCCM time string
    void DecodeStatus(const QString& rawStatus); // lock state, satellites, position
    void RunTimedOutputs();                      // data log, page, upload, export, clock

    std::map<int, QBasicTimer> m_timers;
    // Posted timer ticks that came while the map's replay ran; posted again after it.
    std::set<int> m_deferredTicks;
    std::map<int, int> m_timerPeriods;
    std::unique_ptr<SetTimeSession> m_setTimeSession;
    // A member, so its thread has ended before the settings it reads (base classes) go.
    std::unique_ptr<TimeServer> m_timeServer;
    // Shut-down has begun (OnDestroy): nothing that waited on a dialog, a message box or a timer
    // may resume polling, the SNTP service or the timers after it.
    bool m_bDestroyed = false;
    // Set while an unattended start runs: its failures go to the status bar, not a box.
    bool m_bQuietStart = false;

    // An upload failure's line: the user window and the debug file as their switches say.
    void FtpError(const QString& line);
    bool m_bFtpRunning = false;
    bool m_bFtpSkipReported = false;
    bool m_bFtpRunFailed = false;  // the running upload has reported its failure
    bool m_bFtpAbortAsked = false; // the program ended the running upload itself
    // Last, so that its thread has ended before anything it reports to goes.
    FtpUploader m_ftpUploader;
};
