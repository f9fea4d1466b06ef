#pragma once
// The exchange between an Options page's controls and the settings it edits. Each page lists its
// controls once, in one DoDataExchange; the same list puts the values into the controls, checks
// the operator's entries against the ranges of settings/SettingRanges.h, and takes them back. A
// number the operator left as it was shown passes and keeps the setting exactly as it was.
// Controls are found by their object name, the decimal control id.
#include "app/ViewSettings.h"

#include <QString>
#include <QStringView>
#include <atomic>
#include <initializer_list>

class QWidget;

class DataExchange {
public:
    enum class Direction {
        ToControls,   // the settings into the controls
        Validate,     // check the controls' entries, change nothing
        FromControls, // the controls' entries into the settings (after a Validate that passed)
    };

    DataExchange(QWidget& page, Direction direction) : m_page(page), m_direction(direction) {}

    Direction direction() const { return m_direction; }
    bool ToControls() const { return m_direction == Direction::ToControls; }
    bool FromControls() const { return m_direction == Direction::FromControls; }
    // The first refused entry: its control and the message that names the range.
    bool Failed() const { return m_failedControl != nullptr; }
    QWidget* FailedControl() const { return m_failedControl; }
    const QString& Message() const { return m_message; }

    // An edit holding a whole number. With a key, the setting's range validates it, and an
    // interval held in milliseconds is shown in seconds (truncated).
    void Integer(int id, int& value, QStringView key = {});
    void Integer(int id, std::atomic<int>& value, QStringView key = {});
    // An edit holding a number, validated by the setting's range; shown as the shortest text that
    // reads back as the same value, so an untouched entry comes back unchanged.
    void Double(int id, double& value, QStringView key);
    // An edit or an editable combo box holding text, exchanged as it stands.
    void Text(int id, QString& value);
    void Check(int id, bool& value);
    void Check(int id, std::atomic<bool>& value);
    // A group of radio buttons: the index of the checked one.
    void Radio(std::initializer_list<int> ids, int& index);
    // A drop-down list: the index of the chosen entry, -1 for none (the value is then kept).
    void ComboIndex(int id, int& index);

private:
    QWidget* Control(int id) const;
    void Fail(QWidget* control, const QString& message);
    bool Skipping() const { return Failed(); }

    QWidget& m_page;
    Direction m_direction;
    QWidget* m_failedControl = nullptr;
    QString m_message;
};

// The page's text of a number as the exchange shows it.
QString PageNumberText(double value);
