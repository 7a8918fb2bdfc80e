#pragma once

#include <QDialog>
#include <string>

#include "common/MessagePresenter.h"
#include "settings/Settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
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
    frmSettings(const Settings& settings, MessagePresenter& messages, QWidget* parent = nullptr);

    // The plain values the controls hold right now.
    SettingsDialogValues Values() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateCommunicationGroup();
    void CreateFileGroup();
    void CreateButtons();
    void FitPortList();
    void WidenPortList();
    void SetFocusOrder();
    void ShowValues(const SettingsDialogValues& values);
    void Dir1_Click();
    void Drive1_Change(const QString& root);
    void txtFilePath_Change();
    void cmdOK_Click();

    std::string m_iniFilePath;
    bool m_createIniFolder = false;
    MessagePresenter& m_messages;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QComboBox* cboPort = nullptr;
    QComboBox* cboBaud = nullptr;
    QComboBox* cboParity = nullptr;
    QComboBox* cboDataBits = nullptr;
    QComboBox* cboStopBits = nullptr;
    QLineEdit* txtFilePath = nullptr;
    DriveList* Drive1 = nullptr;
    FolderList* Dir1 = nullptr;
    QLineEdit* txtCloseTime = nullptr;
    QLineEdit* txtBranchID = nullptr;
    QLineEdit* txtFileDelimiter = nullptr;
    QLineEdit* txtScaleFactor = nullptr;
    QRadioButton* optLogFileName[3] = {};
    QButtonGroup* m_logFileNameGroup = nullptr;
    QCheckBox* chkRemoveincm = nullptr;
    QCheckBox* chkRemoveLbKg = nullptr;
    QCheckBox* chkManualEntryData = nullptr;
    QCheckBox* chkConvertCMtoMM = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

}  // namespace brisolant
