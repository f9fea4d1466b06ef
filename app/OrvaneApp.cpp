#include "app/OrvaneApp.h"

#include "app/MainFrame.h"

#include <clocale>

COrvaneApp::COrvaneApp(int& argc, char** argv) : QApplication(argc, argv) {
    // QApplication takes the number format from the environment; every number the program reads
    // or writes is in the C locale.
    std::setlocale(LC_NUMERIC, "C");
}

COrvaneApp::~COrvaneApp() = default;

bool COrvaneApp::InitInstance() {
    m_pMainFrame = std::make_unique<CMainFrame>();
    m_pMainFrame->resize(1100, 760);
    m_pMainFrame->show();
    return true;
}
