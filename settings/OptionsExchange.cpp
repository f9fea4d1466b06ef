#include "settings/OptionsExchange.h"

#include "settings/SettingRanges.h"
#include "settings/SettingValues.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>
#include <charconv>
#include <climits>
#include <cmath>

namespace {

QString ControlText(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentText();
    return {};
}

void SetControlText(QWidget* control, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(text);
}

// The text the settings were shown as, kept on the control.
constexpr char kShownTextProperty[] = "orvaneShownText";

void ShowNumber(QWidget* control, const QString& text) {
    SetControlText(control, text);
    control->setProperty(kShownTextProperty, text);
}

// Whether the control still holds the text it was shown with. Such an entry is taken as the
// stored value stands: a value the page would refuse (a stored interval of 0 that keeps a duty
// off, a hand-edited file) must not keep the operator's other changes from being saved.
bool Untouched(QWidget* control) {
    const QVariant shown = control->property(kShownTextProperty);
    return shown.isValid() && shown.toString() == ControlText(control);
}

// The whole text as one number in the C notation (blanks around it allowed), or nothing.
template <typename T> std::optional<T> ParseNumber(const QString& text) {
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* first = bytes.constData();
    const char* const last = first + bytes.size();
    if (first != last && *first == '+')
        ++first;
    T value{};
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last)
        return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value))
            return std::nullopt;
    }
    return value;
}

} // namespace

QString PageNumberText(double value) {
    return DoubleSettingText(value);
}

QWidget* DataExchange::Control(int id) const {
    auto* control = m_page.findChild<QWidget*>(QString::number(id));
    Q_ASSERT_X(control, "DataExchange", "a page lists a control it does not have");
    return control;
}

void DataExchange::Fail(QWidget* control, const QString& message) {
    m_failedControl = control;
    m_message = message;
}

void DataExchange::Integer(int id, int& value, QStringView key) {
    if (Skipping())
        return;
    QWidget* control = Control(id);
    const SettingRange* range = key.isEmpty() ? nullptr : RangeOfSetting(key);
    const int scale = range ? range->unitsPerPageUnit : 1;
    const bool count = range && range->unsignedCount;
    if (ToControls()) {
        const std::int64_t stored =
            count ? static_cast<std::int64_t>(static_cast<std::uint32_t>(value)) : value;
        ShowNumber(control, QString::number(stored / scale));
        return;
    }
    if (Untouched(control))
        return;
    const std::optional<std::int64_t> entered = ParseNumber<std::int64_t>(ControlText(control));
    if (!entered || (!range && (*entered < INT_MIN || *entered > INT_MAX))) {
        Fail(control, QStringLiteral("Please enter an integer."));
        return;
    }
    if (range && !range->Accepts(static_cast<double>(*entered))) {
        Fail(control, range->Message());
        return;
    }
    if (FromControls()) {
        const std::int64_t stored = *entered * scale;
        value = count ? static_cast<int>(static_cast<std::uint32_t>(stored)) : static_cast<int>(stored);
    }
}

void DataExchange::Integer(int id, std::atomic<int>& value, QStringView key) {
    int plain = value;
    Integer(id, plain, key);
    if (FromControls() && !Failed())
        value = plain;
}

void DataExchange::Double(int id, double& value, QStringView key) {
    if (Skipping())
        return;
    QWidget* control = Control(id);
    if (ToControls()) {
        ShowNumber(control, PageNumberText(value));
        return;
    }
    if (Untouched(control))
        return;
    const SettingRange* range = RangeOfSetting(key);
    const std::optional<double> entered = ParseNumber<double>(ControlText(control));
    if (!entered) {
        Fail(control, QStringLiteral("Please enter a number."));
        return;
    }
    if (range && !range->Accepts(*entered)) {
        Fail(control, range->Message());
        return;
    }
    if (FromControls())
        value = *entered;
}

void DataExchange::Text(int id, QString& value) {
    if (Skipping())
        return;
    QWidget* control = Control(id);
    if (ToControls())
        SetControlText(control, value);
    else if (FromControls())
        value = ControlText(control);
}

void DataExchange::Check(int id, bool& value) {
    if (Skipping())
        return;
    auto* box = qobject_cast<QAbstractButton*>(Control(id));
    if (ToControls())
        box->setChecked(value);
    else if (FromControls())
        value = box->isChecked();
}

void DataExchange::Check(int id, std::atomic<bool>& value) {
    bool plain = value;
    Check(id, plain);
    if (FromControls() && !Failed())
        value = plain;
}

void DataExchange::Radio(std::initializer_list<int> ids, int& index) {
    if (Skipping())
        return;
    int i = 0;
    for (int id : ids) {
        auto* button = qobject_cast<QAbstractButton*>(Control(id));
        if (ToControls())
            button->setChecked(i == index);
        else if (FromControls() && button->isChecked())
            index = i;
        ++i;
    }
}

void DataExchange::ComboIndex(int id, int& index) {
    if (Skipping())
        return;
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    if (ToControls())
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    else if (FromControls() && combo->currentIndex() >= 0)
        index = combo->currentIndex();
}
