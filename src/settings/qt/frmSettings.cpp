#include "settings/qt/frmSettings.h"

frmSettings::frmSettings(const brisolant::Settings& settings, brisolant::MessagePresenter& messages,
                         QWidget* parent)
    : QDialog(parent), m_settings(settings), m_messages(messages) {
    setWindowTitle(QStringLiteral("Settings"));
}

brisolant::SettingsDialogValues frmSettings::Values() const {
    return {};
}
