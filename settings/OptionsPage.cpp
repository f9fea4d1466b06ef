#include "settings/OptionsPage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
// Edits at least this wide hold texts and paths and grow with the page.
constexpr int kStretchedEditChars = 20;
} // namespace

COptionsPage::COptionsPage(OptionsTarget& target, const QString& caption)
    : m_target(target), m_caption(caption) {}

QLineEdit* COptionsPage::Edit(int id, int widthChars) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(id));
    // Room for the characters and the frame: numbers get just that, paths and texts at least that.
    const int width = edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * std::max(widthChars, 3) + 12;
    if (widthChars < kStretchedEditChars)
        edit->setFixedWidth(width);
    else
        edit->setMinimumWidth(width);
    return edit;
}

QCheckBox* COptionsPage::Check(int id, const QString& text) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::number(id));
    return box;
}

QRadioButton* COptionsPage::Radio(int id, const QString& text) {
    auto* button = new QRadioButton(text, this);
    button->setObjectName(QString::number(id));
    return button;
}

QPushButton* COptionsPage::Button(int id, const QString& text) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    return button;
}

QWidget* COptionsPage::UpDown(int id, QLineEdit* buddy, int low, int high) {
    auto* box = new QWidget(this);
    box->setObjectName(QString::number(id));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const int step : {1, -1}) {
        auto* arrow = new QToolButton(box);
        arrow->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
        arrow->setAutoRepeat(true);
        arrow->setFixedSize(16, 11);
        arrow->setFocusPolicy(Qt::NoFocus);
        connect(arrow, &QToolButton::clicked, buddy, [buddy, step, low, high] {
            bool ok = false;
            const qlonglong now = buddy->text().trimmed().toLongLong(&ok);
            const qlonglong next = ok ? std::clamp<qlonglong>(now + step, low, high) : low;
            buddy->setText(QString::number(next));
        });
        layout->addWidget(arrow);
    }
    return box;
}

QLabel* COptionsPage::Label(const QString& text) {
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QWidget* COptionsPage::Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return row;
}
