#pragma once
// The Options sheet opened from the main frame's menu, as the operator opens it: `act` runs on the
// sheet once it is up and closes it with one of its buttons.
#include "app/MainFrame.h"
#include "settings/OptionsSheet.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <functional>

inline void UseOptionsSheet(CMainFrame& frame, const std::function<void(COptionsSheet&)>& act) {
    auto* poll = new QTimer(&frame); // goes with the frame should the sheet never open
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* sheet = qobject_cast<COptionsSheet*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            act(*sheet);
        }
    });
    poll->start(0);
    frame.Action(ID_OPTIONS)->trigger();
}

// "IDOK" or "IDCANCEL".
inline void PressSheetButton(COptionsSheet& sheet, const char* button) {
    sheet.findChild<QPushButton*>(QString::fromLatin1(button))->click();
}
