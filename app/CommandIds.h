#pragma once
// Numeric ids of the menu, toolbar and dialog-bar commands.

enum CommandId : int {
    ID_VIEW_ALL = 1004,
    ID_VIEW_STATUS = 1005,
    ID_VIEW_TIME = 1006,
    ID_VIEW_MAP = 1007,
    ID_VIEW_GRAPH = 1008,

    ID_START = 32778,
    ID_STOP = 32780,
    ID_UPDATE_ALL = 32782,
    ID_SET_TIME = 32783,
    ID_OPTIONS = 32784,
    ID_AUTO_RUN = 32785,
    ID_HIDE = 32787,
    ID_NO_TRAILS = 32789,
    ID_RECENT_TRAILS = 32790,
    ID_EXTENDED_TRAILS = 32791,
    ID_ANIMATE_SATELLITES = 32793,
    ID_EXPORT = 32799,
    ID_LOCK_TI_EXTENTS = 32800,
    ID_READ_ERROR_QUEUE = 32802,
    ID_RAW_STATUS = 32804,
    ID_RECEIVER_HP = 32806,
    ID_RECEIVER_DATUM = 32807,
    ID_RECEIVER_PROTEUS = 32808,
    ID_RECEIVER_JACKSON = 32809,
    ID_VIEW_DIALOGBAR = 32810,
    ID_EXPORT_PROFILE = 32812,
    ID_CHOOSE_LOG_FILE = 32813,
    ID_CHOOSE_SATELLITE_FILE = 32815,
    ID_CHOOSE_HTML_FILE = 32816,
    ID_RECEIVER_UCCM = 32817,
    ID_IMPORT_PROFILE = 32819,
    ID_MAP_BACKDROP_FILE = 32820,
    ID_SAT_BACKDROP = 32821,
    ID_CLEAR_PROFILE = 32822,
    ID_BEEP_ON_ERROR = 32823,
    ID_USER_TO_FILE = 32824,
    ID_CHOOSE_USER_FILE = 32825,
    ID_AUTO_LEAPS = 32826,
    ID_IDENTIFY_SATELLITES = 32827,
    ID_CHOOSE_DEBUG_FILE = 32829,
    ID_DEBUG_FILE_ENABLE = 32831,
    ID_DEBUG_TO_USER_WINDOW = 32833,
    ID_FTP_DEBUG = 32834,
    ID_VERBOSE_SERIAL = 32835,

    ID_APP_ABOUT = 0xE140,
    ID_APP_EXIT = 0xE141,
    ID_HELP_FINDER = 0xE143,
    ID_CONTEXT_HELP = 0xE145,
    ID_HELP = 0xE146,
    ID_VIEW_TOOLBAR = 0xE800,
    ID_VIEW_STATUS_BAR = 0xE801,
};

// Dialog-bar controls. Button n (1 to 40) has id IDC_BUTTON1 + n - 1.
enum DialogBarControlId : int {
    IDC_SEND = 1010,
    IDC_USER_WINDOW = 1011,
    IDC_COMMAND_BOX = 1012,
    IDC_BUTTON1 = 1201,
    IDC_BUTTON40 = 1240,
    IDC_CLEAR_USER_WINDOW = 1368,
    IDC_DEBUG_BOX1 = 1371,
    IDC_DEBUG_BOX2 = 1372,
    IDC_LARGE_FONT = 1373,
};

// The About box's version line.
constexpr int IDC_VERSION_TEXT = 1374;

// The view's timers.
enum TimerId : int {
    IDT_STARTUP = 99,
    IDT_POLL = 100,
    IDT_GRAPH_REFRESH = 101,
    IDT_USER_COMMAND = 102,
    IDT_RECONNECT = 103,  // reopening a receiver port that failed while polling
    IDT_TRAY_WATCH = 104, // whether the tray that holds the hidden window's icon is still there
};

// How often a receiver port that failed while polling is tried again.
constexpr int kReconnectIntervalMs = 5000;
// How often a window hidden to the tray looks whether the tray is still there.
constexpr int kTrayWatchIntervalMs = 1000;
