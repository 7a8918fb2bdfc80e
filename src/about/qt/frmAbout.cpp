#include "about/qt/frmAbout.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "about/Version.h"
#include "about/qt/QtProgramLauncher.h"
#include "common/qt/QtMessagePresenter.h"
#include "common/qt/TwipsLayout.h"

namespace brisolant {

namespace {

QFont AboutFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent),
      ownMessages_(std::make_unique<QtMessagePresenter>(this)),
      ownRegistry_(std::make_unique<EmptyRegistry>()),
      ownLauncher_(std::make_unique<QtProgramLauncher>()),
      messages_(*ownMessages_),
      registry_(*ownRegistry_),
      launcher_(*ownLauncher_) {
    CreateControls();
}

frmAbout::frmAbout(MessagePresenter& messages, const Registry& registry, ProgramLauncher& launcher,
                   QWidget* parent)
    : QDialog(parent), messages_(messages), registry_(registry), launcher_(launcher) {
    CreateControls();
}

frmAbout::~frmAbout() = default;

void frmAbout::CreateControls() {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kAppTitle));
    setModal(true);
    setFixedSize(TwipsToPixels(*this, 3555), TwipsToPixels(*this, 2730));
    setFont(AboutFont());

    auto* Shape1 = new QLabel(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setLineWidth(1);
    Shape1->setAutoFillBackground(true);
    QPalette band = Shape1->palette();
    band.setColor(QPalette::Window, Qt::white);
    band.setColor(QPalette::WindowText, Qt::black);
    Shape1->setPalette(band);
    Place(Shape1, 0, 0, 3555, 1755);

    auto* Image1 = MakeLabel(this, "Image1", {});
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap(QStringLiteral(":/assets/logo.png")));  // empty when missing
    Place(Image1, 180, 180, 3090, 1020);

    lblVersion_ = MakeLabel(this, "lblVersion", QString::fromStdString(VersionText()));
    lblVersion_->setPalette(band);
    Place(lblVersion_, 180, 1380, 2955, 225);

    auto* lblDisclaimer = MakeLabel(this, "lblDisclaimer", QStringLiteral("Warning: ..."));
    Place(lblDisclaimer, 60, 1800, 2145, 405);
    lblDisclaimer->hide();
    auto* lblDescription = MakeLabel(this, "lblDescription", QStringLiteral("App Description"));
    Place(lblDescription, 60, 2160, 2205, 390);
    lblDescription->hide();

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);  // Enter closes; Escape closes through the dialog's reject
    Place(cmdOK_, 2220, 1845, 1245, 345);
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);

    cmdSysInfo_ = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo_->setObjectName(QStringLiteral("cmdSysInfo"));
    Place(cmdSysInfo_, 2220, 2280, 1245, 345);
    connect(cmdSysInfo_, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    FitCaptions(this);
    cmdOK_->setFocus();
}

void frmAbout::ShowLocations(const QString& settingsFile, const QString& dataFolder) {
    constexpr int kTop = 2730;
    constexpr int kMargin = 120;
    // A path breaks after any "/", so a long one wraps instead of being cut.
    const auto breakable = [](QString path) {
        return path.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    };
    const QString full = QStringLiteral("Settings: %1\nData: %2").arg(settingsFile, dataFolder);
    auto* lblLocations = MakeLabel(this, "lblLocations",
                                   QStringLiteral("Settings: %1\nData: %2")
                                       .arg(breakable(settingsFile), breakable(dataFolder)));
    lblLocations->setWordWrap(true);
    lblLocations->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblLocations->setToolTip(full);
    const int width = TwipsToPixels(*this, 3555 - 2 * kMargin);
    const int height = lblLocations->heightForWidth(width);
    lblLocations->setGeometry(TwipsToPixels(*this, kMargin), TwipsToPixels(*this, kTop), width,
                              height);
    setFixedSize(TwipsToPixels(*this, 3555),
                 TwipsToPixels(*this, kTop) + height + TwipsToPixels(*this, kMargin));
    lblLocations->show();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo(registry_, launcher_, messages_);
}

}  // namespace brisolant
