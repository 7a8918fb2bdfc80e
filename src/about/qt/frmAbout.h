#pragma once

#include <QDialog>

// The about box: logo, version, and a button that starts the system information program.
class frmAbout : public QDialog {
    Q_OBJECT

  public:
    explicit frmAbout(QWidget* parent = nullptr);
};
