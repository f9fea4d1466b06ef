// The "Coms" and "Aux coms" pages: the line settings of one serial port.
#include "settings/OptionsPages.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {
enum : int {
    IDC_PORT = 1018,
    IDC_BAUD = 1019,
    IDC_DATA_BITS = 1020,
    IDC_STOP_BITS = 1021,
    IDC_PARITY = 1023,
    IDC_PACING_NONE = 1040,
    IDC_PACING_RTS_CTS = 1041,
    IDC_PACING_XON_XOFF = 1042,
};

constexpr int kBaudRates[] = {110,   300,   600,   1200,   2400,   4800,   9600,   14400, 19200,
                              38400, 56000, 57600, 115200, 128000, 230400, 460800, 921600};
constexpr int kFewestDataBits = 5;

// The list's entry for a rate: the first that is not below it, the last when all are.
int BaudIndex(int rate) {
    const auto* it = std::lower_bound(std::begin(kBaudRates), std::end(kBaudRates), rate);
    return it == std::end(kBaudRates) ? static_cast<int>(std::size(kBaudRates)) - 1
                                      : static_cast<int>(it - std::begin(kBaudRates));
}

// The mark of a port known to be free. Whether a port is free cannot be known here without
// opening it, which raises DTR and resets some receivers, so no port is marked; a stored name
// that carries the mark loses it.
const QString kFreeMark = u" *"_s;

QComboBox* Combo(QWidget* page, int id, const QStringList& items, bool editable = false) {
    auto* combo = new QComboBox(page);
    combo->setObjectName(QString::number(id));
    combo->setEditable(editable);
    combo->addItems(items);
    return combo;
}
} // namespace

CPPComs::CPPComs(OptionsTarget& target, const QString& caption, PortSettings port)
    : COptionsPage(target, caption), m_port(port) {
    // The ports the system lists, beside the defaults and the stored name; the list is editable,
    // since any device path may be a receiver.
    QStringList ports = {QString::fromLatin1(kDefaultComPorts[0]), QString::fromLatin1(kDefaultComPorts[1])};
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    if (!m_port.name.isEmpty())
        ports << m_port.name;
    ports.removeDuplicates();

    QStringList rates;
    for (int rate : kBaudRates)
        rates << QString::number(rate);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(Label(u"Port"_s), Combo(this, IDC_PORT, ports, true));
    form->addRow(Label(u"Baud"_s), Combo(this, IDC_BAUD, rates));
    form->addRow(Label(u"Parity"_s),
                 Combo(this, IDC_PARITY, {u"None"_s, u"Odd"_s, u"Even"_s, u"Mark"_s, u"Space"_s}));
    form->addRow(Label(u"Data Bits"_s), Combo(this, IDC_DATA_BITS, {u"5"_s, u"6"_s, u"7"_s, u"8"_s}));
    form->addRow(Label(u"Stop Bits"_s), Combo(this, IDC_STOP_BITS, {u"1"_s, u"1.5"_s, u"2"_s}));
    Control<QComboBox>(IDC_PORT)->setMinimumContentsLength(24);

    auto* pacing = new QGroupBox(u"Flow control"_s, this);
    auto* radios = new QVBoxLayout(pacing);
    radios->addWidget(Radio(IDC_PACING_NONE, u"None"_s));
    radios->addWidget(Radio(IDC_PACING_XON_XOFF, u"XON/XOFF"_s));
    radios->addWidget(Radio(IDC_PACING_RTS_CTS, u"RTS/CTS"_s));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Row({pacing}));
    layout->addStretch(1);
}

void CPPComs::DoDataExchange(DataExchange& dx) {
    dx.Text(IDC_PORT, m_port.name);
    if (dx.FromControls() && m_port.name.endsWith(kFreeMark))
        m_port.name.chop(kFreeMark.size());

    // Lists exchanged by index, converted from and to the settings' own values; a value the list
    // does not hold selects nothing and is kept.
    int baud = m_port.baud <= kBaudRates[0] ? 0 : BaudIndex(m_port.baud);
    int parity = m_port.parity;
    int dataBits = m_port.dataBits - kFewestDataBits;
    int stopBits = m_port.stopBits;
    int pacing = m_port.pacing;
    dx.ComboIndex(IDC_BAUD, baud);
    dx.ComboIndex(IDC_PARITY, parity);
    dx.ComboIndex(IDC_DATA_BITS, dataBits);
    dx.ComboIndex(IDC_STOP_BITS, stopBits);
    dx.Radio({IDC_PACING_NONE, IDC_PACING_XON_XOFF, IDC_PACING_RTS_CTS}, pacing);
    if (dx.FromControls()) {
        m_port.baud = kBaudRates[baud];
        m_port.parity = static_cast<BYTE>(parity);
        m_port.dataBits = static_cast<BYTE>(dataBits + kFewestDataBits);
        m_port.stopBits = static_cast<BYTE>(stopBits);
        m_port.pacing = static_cast<BYTE>(pacing);
    }
}
