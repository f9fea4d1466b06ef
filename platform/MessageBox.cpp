#include "platform/MessageBox.h"

#include "platform/Paths.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {
MessageBoxHandler g_handler;
std::function<void()> g_beepHandler;

MessageResult ShowRealMessageBox(const MessageBoxRequest& request) {
    QMessageBox box;
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    box.setWindowTitle(request.caption.isEmpty() ? ExecutableBaseName() : request.caption);
    switch (request.icon) {
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (request.buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return MessageResult::Cancel;
    case QMessageBox::Yes:
        return MessageResult::Yes;
    case QMessageBox::No:
        return MessageResult::No;
    default:
        return MessageResult::Ok;
    }
}
} // namespace

MessageResult MessageBox(const QString& text, MessageIcon icon, MessageButtons buttons,
                         const QString& caption) {
    const MessageBoxRequest request{text, caption, icon, buttons};
    if (g_handler)
        return g_handler(request);
    return ShowRealMessageBox(request);
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
    g_handler = std::move(handler);
}

void MessageBeep() {
    if (g_beepHandler)
        g_beepHandler();
    else
        QApplication::beep();
}

void SetBeepHandler(std::function<void()> handler) {
    g_beepHandler = std::move(handler);
}

} // namespace platform
