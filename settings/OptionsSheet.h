#pragma once
// The Options sheet: eight pages of settings in tabs, with OK and Cancel. OK checks every page's
// entries and keeps the sheet open on the first page with a refused entry, naming its range;
// only when all pass are the entries taken into the settings. Cancel changes nothing.
#include "settings/OptionsPage.h"

#include <QDialog>
#include <vector>

class QTabWidget;

class COptionsSheet final : public QDialog {
    Q_OBJECT

public:
    COptionsSheet(OptionsTarget target, QWidget* parent = nullptr);

    QTabWidget* Tabs() const { return m_tabs; }
    const std::vector<COptionsPage*>& Pages() const { return m_pages; }

    // OK: validates every page, then takes the entries back and closes.
    void OnOK();

private:
    OptionsTarget m_target;
    QTabWidget* m_tabs = nullptr;
    std::vector<COptionsPage*> m_pages;
};
