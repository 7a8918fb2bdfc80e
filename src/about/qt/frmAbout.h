#pragma once

#include <QDialog>
#include <memory>

#include "about/Registry.h"
#include "about/SystemInfo.h"
#include "common/MessagePresenter.h"

class QLabel;
class QPushButton;

namespace brisolant {

// The about box: logo, version, and a button that starts the system-information tool.
class frmAbout : public QDialog {
    Q_OBJECT

  public:
    // Looks the tool up in the system's registry and reports through message boxes.
    explicit frmAbout(QWidget* parent = nullptr);
    frmAbout(MessagePresenter& messages, const Registry& registry, ProgramLauncher& launcher,
             QWidget* parent = nullptr);
    ~frmAbout() override;

    // Adds where the settings file and the data folder are, below the buttons, for whoever looks
    // after the PC. The texts can be selected and copied.
    void ShowLocations(const QString& settingsFile, const QString& dataFolder);

  private:
    void CreateControls();
    void cmdSysInfo_Click();

    std::unique_ptr<MessagePresenter> ownMessages_;
    std::unique_ptr<Registry> ownRegistry_;
    std::unique_ptr<ProgramLauncher> ownLauncher_;
    MessagePresenter& messages_;
    const Registry& registry_;
    ProgramLauncher& launcher_;

    QLabel* lblVersion_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdSysInfo_ = nullptr;
};

}  // namespace brisolant
