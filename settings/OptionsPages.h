#pragma once
// The pages of the Options sheet, in the order of its tabs.
#include "settings/OptionsPage.h"

#include <array>

// Paths of the files, the intervals, the graph and image options, retries and dead time.
class CPPLogFile final : public COptionsPage {
    Q_OBJECT
public:
    explicit CPPLogFile(OptionsTarget& target);
    void DoDataExchange(DataExchange& dx) override;
    void OnInitDialog() override;

private:
    void UpdateBitmapOptions();
    void Browse(int editId);
    void Delete(int editId);
};

// The eight graph channels, their colours and the custom colours of the colour chooser.
class CPPTraces final : public COptionsPage {
    Q_OBJECT
public:
    explicit CPPTraces(OptionsTarget& target);
    void DoDataExchange(DataExchange& dx) override;
    void OnInitDialog() override;

private:
    void ChooseColour(int channel);
    void ShowColour(int channel);

    std::array<COLORREF, kGraphChannels> m_crTrace{};
    std::array<COLORREF, kCustomColours> m_crCustom{};
};

class CPPFtp final : public COptionsPage {
    Q_OBJECT
public:
    explicit CPPFtp(OptionsTarget& target);
    void DoDataExchange(DataExchange& dx) override;
};

// The line settings of one serial port: the receiver's or the auxiliary one.
struct PortSettings {
    QString& name;
    int& baud;
    BYTE& parity;
    BYTE& stopBits;
    BYTE& dataBits;
    BYTE& pacing;
};

class CPPComs final : public COptionsPage {
    Q_OBJECT
public:
    CPPComs(OptionsTarget& target, const QString& caption, PortSettings port);
    void DoDataExchange(DataExchange& dx) override;

private:
    PortSettings m_port;
};

class CPPTimeSvc final : public COptionsPage {
    Q_OBJECT
public:
    explicit CPPTimeSvc(OptionsTarget& target);
    void DoDataExchange(DataExchange& dx) override;
};

class CPPAux final : public COptionsPage {
    Q_OBJECT
public:
    explicit CPPAux(OptionsTarget& target);
    void DoDataExchange(DataExchange& dx) override;
    void OnInitDialog() override;
};

class CPPExport final : public COptionsPage {
    Q_OBJECT
public:
    explicit CPPExport(OptionsTarget& target);
    void DoDataExchange(DataExchange& dx) override;

private:
    void Browse(int editId);
};
