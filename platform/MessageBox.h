#pragma once
// Message boxes go through one function, so tests can record the text instead of blocking.
#include <QString>
#include <functional>

namespace platform {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

using MessageBoxHandler = std::function<MessageResult(const MessageBoxRequest&)>;

// Shows a modal message box (text shown as plain text, never markup); returns the button pressed.
MessageResult MessageBox(const QString& text, MessageIcon icon = MessageIcon::None,
                         MessageButtons buttons = MessageButtons::Ok, const QString& caption = {});

// Replaces the message box (an empty handler restores the real one).
void SetMessageBoxHandler(MessageBoxHandler handler);

// Beeps (QApplication::beep); tests may count beeps.
void MessageBeep();
void SetBeepHandler(std::function<void()> handler);

} // namespace platform
