#pragma once

#include <QDialog>

#include "common/MessagePresenter.h"
#include "settings/Settings.h"

// The modal settings dialog. OK writes the settings file itself and closes; Cancel and the close
// control write nothing. The caller reloads the settings afterwards.
class frmSettings : public QDialog {
    Q_OBJECT

  public:
    frmSettings(const brisolant::Settings& settings, brisolant::MessagePresenter& messages,
                QWidget* parent = nullptr);

    // The plain values the controls hold right now.
    brisolant::SettingsDialogValues Values() const;

  private:
    const brisolant::Settings& m_settings;
    brisolant::MessagePresenter& m_messages;
};
