#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "common/DetachedCalls.h"
#include "common/MessagePresenter.h"
#include "settings/Settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace brisolant {

class DriveList;
class FolderList;

// The modal settings dialog. It opens with the values of settings; OK writes the settings file
// itself and closes; Cancel and the close control write nothing. The caller reloads the settings
// afterwards, whichever way the dialog closed.
class frmSettings : public QDialog {
    Q_OBJECT

  public:
    // Tries a database connection and says how it went; it may take as long as the network does.
    using ConnectionTest = std::function<std::string(const std::string& connection)>;

    // Without `testConnection` the Test connection button is not offered.
    frmSettings(const Settings& settings, MessagePresenter& messages, QWidget* parent = nullptr,
                ConnectionTest testConnection = {});

    // The plain values the controls hold right now.
    SettingsDialogValues Values() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateCommunicationGroup();
    void CreateFileGroup();
    void CreateButtons();
    void CreateDatabaseGroup();
    void cmdTestConnection_Click();
    void ShowConnectionTests();
    void FitPortList();
    void WidenPortList();
    void SetFocusOrder();
    void ShowValues(const SettingsDialogValues& values);
    void Dir1_Click();
    void Drive1_Change(const QString& root);
    void txtFilePath_Change();
    void cmdOK_Click();

    std::string iniFilePath_;
    bool createIniFolder_ = false;
    MessagePresenter& messages_;

    QGroupBox* Frame1_ = nullptr;
    QGroupBox* Frame2_ = nullptr;
    QComboBox* cboPort_ = nullptr;
    QComboBox* cboBaud_ = nullptr;
    QComboBox* cboParity_ = nullptr;
    QComboBox* cboDataBits_ = nullptr;
    QComboBox* cboStopBits_ = nullptr;
    QLineEdit* txtFilePath_ = nullptr;
    DriveList* Drive1_ = nullptr;
    FolderList* Dir1_ = nullptr;
    QLineEdit* txtCloseTime_ = nullptr;
    QLineEdit* txtBranchID_ = nullptr;
    QLineEdit* txtFileDelimiter_ = nullptr;
    QLineEdit* txtScaleFactor_ = nullptr;
    QRadioButton* optLogFileName_[3] = {};
    QButtonGroup* logFileNameGroup_ = nullptr;
    QCheckBox* chkRemoveincm_ = nullptr;
    QCheckBox* chkRemoveLbKg_ = nullptr;
    QCheckBox* chkManualEntryData_ = nullptr;
    QCheckBox* chkConvertCMtoMM_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QGroupBox* Frame3_ = nullptr;
    QLineEdit* txtConnection_ = nullptr;
    QLineEdit* txtStation_ = nullptr;
    QPushButton* cmdTestConnection_ = nullptr;
    QLabel* lblConnectionTest_ = nullptr;
    ConnectionTest test_connection_;
    // The window never waits for a network: each test runs on a thread of its own.
    std::unique_ptr<DetachedCalls<std::string>> connection_tests_;
};

}  // namespace brisolant
