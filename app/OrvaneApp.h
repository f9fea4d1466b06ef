#pragma once
// The application object: brings up the process and the main window.
#include <QApplication>
#include <memory>

class CMainFrame;

class COrvaneApp : public QApplication {
    Q_OBJECT

public:
    COrvaneApp(int& argc, char** argv);
    ~COrvaneApp() override;

    // Creates and shows the main frame; false ends the program.
    bool InitInstance();
    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }

private:
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
