#pragma once
// What the pages of the Options sheet share: the settings they edit, their exchange, and the
// making of their controls, each named by its control id.
#include "settings/OptionsExchange.h"
#include "settings/SettingsIo.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

// The settings the sheet edits: the view's and the process-wide ones, and the receiver family
// (which decides what some pages show).
struct OptionsTarget {
    ViewSettings& view;
    ProcessSettings& process;
    int family = 0;
};

class COptionsPage : public QWidget {
    Q_OBJECT

public:
    COptionsPage(OptionsTarget& target, const QString& caption);
    // The page's one list of its controls and settings, run in the exchange's direction.
    virtual void DoDataExchange(DataExchange& dx) = 0;
    // After the settings went into the controls: what depends on the family or on other controls.
    virtual void OnInitDialog() {}
    const QString& Caption() const { return m_caption; }

    template <typename T = QWidget> T* Control(int id) const { return findChild<T*>(QString::number(id)); }

protected:
    QLineEdit* Edit(int id, int widthChars);
    QCheckBox* Check(int id, const QString& text);
    QRadioButton* Radio(int id, const QString& text);
    QPushButton* Button(int id, const QString& text);
    // A pair of arrow buttons that step the number in buddy within low to high.
    QWidget* UpDown(int id, QLineEdit* buddy, int low, int high);
    QLabel* Label(const QString& text);
    // A row of widgets packed to the left.
    QWidget* Row(std::initializer_list<QWidget*> widgets);

    OptionsTarget& m_target;

private:
    QString m_caption;
};
