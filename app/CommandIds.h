#pragma once
// Numeric ids of the menu, toolbar and dialog-bar commands.

enum CommandId : int {
    ID_VIEW_ALL = 1004,
    ID_VIEW_STATUS = 1005,
    ID_VIEW_TIME = 1006,
    ID_VIEW_MAP = 1007,
    ID_VIEW_GRAPH = 1008,

    ID_SET_TIME = 32783,
    ID_VIEW_DIALOGBAR = 32810,

    ID_APP_EXIT = 0xE141,
    ID_HELP = 0xE146,
};

// Dialog-bar controls.
enum DialogBarControlId : int {
    IDC_USER_WINDOW = 1011,
    IDC_DEBUG_BOX1 = 1371,
    IDC_DEBUG_BOX2 = 1372,
    IDC_LARGE_FONT = 1373,
};

// The view's timers.
enum TimerId : int {
    IDT_STARTUP = 99,
    IDT_POLL = 100,
    IDT_GRAPH_REFRESH = 101,
    IDT_USER_COMMAND = 102,
};
