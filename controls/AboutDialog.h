#pragma once
// The About box: the product's name, its version line and the notices.
#include <QDialog>

class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};
