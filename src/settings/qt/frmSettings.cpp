#include "settings/qt/frmSettings.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <algorithm>

#include "common/RunGuarded.h"
#include "common/qt/QueuedCall.h"
#include "common/qt/TwipsLayout.h"
#include "settings/DatabaseConnection.h"
#include "settings/FailureMessage.h"
#include "settings/qt/DriveList.h"
#include "settings/qt/FolderList.h"
#include "settings/qt/IndicatorStyle.h"
#include "settings/qt/PortChoices.h"
#include "settings/qt/TypedLengthLimit.h"

namespace brisolant {

namespace {

// Room kept between a caption and the field beside it.
constexpr int kCaptionGap = 90;

QFont DialogFont(qreal pointSize, bool bold) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

const QFont& FieldFont() {
    static const QFont font = DialogFont(8.25, true);
    return font;
}
const QFont& ListFont() {
    static const QFont font = DialogFont(8.25, false);
    return font;
}
const QFont& GroupFont() {
    static const QFont font = DialogFont(9.75, true);
    return font;
}

// Folder names, the branch (part of the data file's name) and a port's device path are file
// names and keep the file system's encoding; every other text is stored in the 8-bit set.
std::string FileNameText(const QString& text) {
    return QFile::encodeName(text).toStdString();
}
QString FromFileNameText(const std::string& text) {
    return QFile::decodeName(QByteArray::fromStdString(text));
}
std::string EightBitText(const QString& text) {
    return text.toLatin1().toStdString();
}
QString FromEightBitText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QComboBox* MakeCombo(QWidget* parent, const char* name, const QStringList& items) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);  // a typed value is stored exactly as typed
    combo->addItems(items);
    combo->setFont(FieldFont());
    return combo;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setFont(FieldFont());
    return box;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QLatin1String(name));
    box->setFont(FieldFont());
    return box;
}

}  // namespace

frmSettings::frmSettings(const Settings& settings, MessagePresenter& messages, QWidget* parent,
                         ConnectionTest testConnection)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      iniFilePath_(settings.IniFilePath),
      createIniFolder_(settings.CreateIniFolder),
      messages_(messages),
      test_connection_(std::move(testConnection)) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);
    setFixedSize(TwipsToPixels(*this, 9450), TwipsToPixels(*this, 6165));
    setFont(FieldFont());

    CreateFileGroup();
    CreateCommunicationGroup();
    CreateButtons();
    CreateDatabaseGroup();
    auto* indicators = new IndicatorStyle(this);
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        if (qobject_cast<QCheckBox*>(button) != nullptr ||
            qobject_cast<QRadioButton*>(button) != nullptr) {
            button->setStyle(indicators);
        }
    }
    SetFocusOrder();
    FitCaptions(this);
    ShowValues(DialogValuesFrom(settings));
    // The name the station has in the table while the box is left empty.
    Settings unnamed = settings;
    unnamed.DatabaseStation.clear();
    txtStation_->setPlaceholderText(FromEightBitText(DatabaseStationName(unnamed)));
    FitPortList();
    cmdOK_->setFocus();
}

void frmSettings::CreateCommunicationGroup() {
    Frame1_ = new QGroupBox(QStringLiteral("Communication"), this);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    Frame1_->setFont(GroupFont());
    Place(Frame1_, 6000, 30, 3345, 2025);

    struct Row {
        QComboBox** combo;
        const char* name;
        const char* label;
        QStringList items;
    };
    const Row rows[] = {
        {&cboBaud_,
         "cboBaud",
         "Baud Rate",
         {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}},
        {&cboParity_, "cboParity", "Parity", {"None", "Even", "Odd"}},
        {&cboDataBits_, "cboDataBits", "Data Bits", {"7", "8"}},
        {&cboStopBits_, "cboStopBits", "Stop Bits", {"1", "2"}},
    };
    int top = 330;
    for (const Row& row : rows) {
        *row.combo = MakeCombo(Frame1_, row.name, row.items);
        Place(*row.combo, 1590, top, 1575, 315);
        auto* label = new QLabel(QString::fromLatin1(row.label), Frame1_);
        label->setFont(FieldFont());
        Place(label, 270, top + 30, 1290 - kCaptionGap, 255);
        top += 390;
    }

    // The port has a row of its own across the dialog, below both groups: a USB adapter's
    // stable name (/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0) shows whole.
    cboPort_ = MakeCombo(this, "cboPort", PortChoices());
    Place(cboPort_, 1650, 4515, 7665, 315);
    auto* label = new QLabel(QStringLiteral("Computer Port"), this);
    label->setFont(FieldFont());
    Place(label, 210, 4545, 1410 - kCaptionGap, 255);
}

// A device path such as /dev/serial/by-id/usb-… is longer than the box: the drop-down opens wide
// enough for the longest entry, and the box shows the whole path as a tooltip.
void frmSettings::FitPortList() {
    const auto showWhole = [this](const QString& text) { cboPort_->setToolTip(text); };
    connect(cboPort_, &QComboBox::currentTextChanged, this, showWhole);
    showWhole(cboPort_->currentText());
    connect(cboPort_->model(), &QAbstractItemModel::rowsInserted, this,
            &frmSettings::WidenPortList);
    WidenPortList();
}

void frmSettings::WidenPortList() {
    QAbstractItemView* list = cboPort_->view();
    const int widest = list->sizeHintForColumn(0);  // the entries as the list draws them
    const int chrome = list->verticalScrollBar()->sizeHint().width() + 2 * list->frameWidth();
    list->setMinimumWidth(std::max(widest + chrome, cboPort_->width()));
}

void frmSettings::CreateFileGroup() {
    Frame2_ = new QGroupBox(QStringLiteral("File"), this);
    Frame2_->setObjectName(QStringLiteral("Frame2"));
    Frame2_->setFont(GroupFont());
    Place(Frame2_, 30, 30, 5925, 4395);

    // Labels end just short of their fields; a tall one wraps onto a second line.
    const auto label = [this](const char* caption, int top, int height = 255) {
        auto* text = new QLabel(QString::fromLatin1(caption), Frame2_);
        text->setFont(FieldFont());
        text->setWordWrap(height > 255);
        text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        Place(text, 180, top, 1410 - kCaptionGap, height);
    };

    txtFilePath_ = MakeTextBox(Frame2_, "txtFilePath");
    txtFilePath_->setReadOnly(true);
    Place(txtFilePath_, 1620, 300, 4215, 315);
    label("Data File Path", 330);
    connect(txtFilePath_, &QLineEdit::textChanged, this, &frmSettings::txtFilePath_Change);

    Drive1_ = new DriveList(Frame2_);
    Drive1_->setObjectName(QStringLiteral("Drive1"));
    Drive1_->setFont(ListFont());
    Place(Drive1_, 1620, 660, 2595, 315);
    Drive1_->showDriveOf(QDir::currentPath());
    connect(Drive1_, &DriveList::driveChosen, this, &frmSettings::Drive1_Change);

    Dir1_ = new FolderList(Frame2_);
    Dir1_->setObjectName(QStringLiteral("Dir1"));
    Dir1_->setFont(ListFont());
    Place(Dir1_, 1620, 1020, 2595, 1215);
    connect(Dir1_, &FolderList::folderClicked, this, &frmSettings::Dir1_Click);
    // A folder that cannot be read leaves the list where it was, and the drive list with it.
    connect(Dir1_, &FolderList::folderRefused, this,
            [this] { Drive1_->showDriveOf(Dir1_->path()); });

    txtCloseTime_ = MakeTextBox(Frame2_, "txtCloseTime");
    Place(txtCloseTime_, 1620, 2340, 1305, 315);
    label("File Close Time (HH:MM:SS)", 2250, 465);

    txtBranchID_ = MakeTextBox(Frame2_, "txtBranchID");
    Place(txtBranchID_, 1620, 2760, 1305, 315);
    label("Branch ID", 2790);

    txtFileDelimiter_ = MakeTextBox(Frame2_, "txtFileDelimiter");
    // The operator types one character; a longer delimiter written in the file by hand is kept.
    new TypedLengthLimit(*txtFileDelimiter_, 1);
    Place(txtFileDelimiter_, 1620, 3180, 555, 315);
    label("File Delimiter", 3210);

    label("File Name Date", 3540);
    logFileNameGroup_ = new QButtonGroup(this);
    logFileNameGroup_->setExclusive(true);  // none is chosen until the operator picks one
    const char* const captions[] = {"Julian Date", "YYYYMMDD", "None"};
    for (int index = 0; index < 3; ++index) {
        optLogFileName_[index] = new QRadioButton(QString::fromLatin1(captions[index]), Frame2_);
        optLogFileName_[index]->setObjectName(QStringLiteral("optLogFileName%1").arg(index));
        optLogFileName_[index]->setFont(ListFont());
        Place(optLogFileName_[index], 1620, 3540 + 240 * index, 1425, 240);
        logFileNameGroup_->addButton(optLogFileName_[index], index);
    }

    chkRemoveincm_ = MakeCheckBox(Frame2_, "chkRemoveincm", "Remove in/cm From Output");
    Place(chkRemoveincm_, 3060, 2340, 2775, 375);
    chkRemoveLbKg_ = MakeCheckBox(Frame2_, "chkRemoveLbKg", "Remove lb/kg From Output");
    Place(chkRemoveLbKg_, 3060, 2760, 2775, 375);
    chkManualEntryData_ = MakeCheckBox(Frame2_, "chkManualEntryData", "Manual Entry Data");
    Place(chkManualEntryData_, 3060, 3180, 2775, 375);
    chkConvertCMtoMM_ = MakeCheckBox(Frame2_, "chkConvertCMtoMM", "Convert: cm -> mm, kg -> g");
    Place(chkConvertCMtoMM_, 3060, 3600, 2775, 375);

    txtScaleFactor_ = MakeTextBox(Frame2_, "txtScaleFactor");
    Place(txtScaleFactor_, 4560, 3960, 1305, 315);
    txtScaleFactor_->hide();
}

void frmSettings::CreateButtons() {
    const auto button = [this](const char* name, const char* caption, int left) {
        auto* push = new QPushButton(QString::fromLatin1(caption), this);
        push->setObjectName(QLatin1String(name));
        push->setFont(FieldFont());
        // Enter and Escape must not confirm or discard the operator's edits.
        push->setAutoDefault(false);
        push->setDefault(false);
        Place(push, left, 3840, 1605, 555);
        return push;
    };
    cmdOK_ = button("cmdOK", "&OK", 6030);
    cmdCancel_ = button("cmdCancel", "&Cancel", 7710);
    connect(cmdOK_, &QPushButton::clicked, this, &frmSettings::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

// The site's database: the connection as libpq reads it, never with its password (libpq reads
// that from ~/.pgpass), and the station's name in the table.
void frmSettings::CreateDatabaseGroup() {
    Frame3_ = new QGroupBox(QStringLiteral("Database"), this);
    Frame3_->setObjectName(QStringLiteral("Frame3"));
    Frame3_->setFont(GroupFont());
    Place(Frame3_, 30, 4905, 9315, 1200);

    const auto label = [this](const char* caption, int left, int top, int width) {
        auto* text = new QLabel(QString::fromLatin1(caption), Frame3_);
        text->setFont(FieldFont());
        Place(text, left, top, width, 255);
    };
    txtConnection_ = MakeTextBox(Frame3_, "txtConnection");
    txtConnection_->setPlaceholderText(
        QStringLiteral("host=records.depot dbname=depot user=brisolant"));
    Place(txtConnection_, 1620, 300, 7560, 315);
    // A password typed in is taken out at once: it would be kept in the settings file.
    connect(txtConnection_, &QLineEdit::editingFinished, this, [this] {
        const std::string typed = EightBitText(txtConnection_->text());
        if (HoldsPassword(typed)) {
            txtConnection_->setText(FromEightBitText(WithoutPassword(typed)));
            lblConnectionTest_->setText(
                QStringLiteral("Passwords are not kept here: put them in ~/.pgpass."));
        }
    });
    label("Connection", 180, 330, 1410 - kCaptionGap);

    txtStation_ = MakeTextBox(Frame3_, "txtStation");
    Place(txtStation_, 1620, 720, 1905, 315);
    label("Station", 180, 750, 1410 - kCaptionGap);

    cmdTestConnection_ = new QPushButton(QStringLiteral("&Test connection"), Frame3_);
    cmdTestConnection_->setObjectName(QStringLiteral("cmdTestConnection"));
    cmdTestConnection_->setFont(FieldFont());
    cmdTestConnection_->setAutoDefault(false);
    Place(cmdTestConnection_, 3645, 690, 1605, 375);
    connect(cmdTestConnection_, &QPushButton::clicked, this, &frmSettings::cmdTestConnection_Click);
    cmdTestConnection_->setVisible(static_cast<bool>(test_connection_));

    lblConnectionTest_ = new QLabel(Frame3_);
    lblConnectionTest_->setObjectName(QStringLiteral("lblConnectionTest"));
    lblConnectionTest_->setFont(FieldFont());
    lblConnectionTest_->setWordWrap(true);
    lblConnectionTest_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Place(lblConnectionTest_, 5370, 660, 3810, 480);
}

void frmSettings::cmdTestConnection_Click() {
    if (!connection_tests_) {
        connection_tests_ = std::make_unique<DetachedCalls<std::string>>(
            QueuedCall(this, [this] { ShowConnectionTests(); }));
    }
    lblConnectionTest_->setText(QStringLiteral("Connecting..."));
    const std::string connection = WithoutPassword(EightBitText(txtConnection_->text()));
    connection_tests_->Run([test = test_connection_, connection] { return test(connection); });
}

void frmSettings::ShowConnectionTests() {
    for (const std::string& answer : connection_tests_->Take()) {
        lblConnectionTest_->setText(QString::fromLatin1(answer.c_str()));
        lblConnectionTest_->setToolTip(lblConnectionTest_->text());
    }
}

void frmSettings::SetFocusOrder() {
    QWidget* const order[] = {cmdOK_,
                              cmdCancel_,
                              cboStopBits_,
                              cboParity_,
                              cboDataBits_,
                              cboBaud_,
                              cboPort_,
                              Dir1_,
                              Drive1_,
                              txtFilePath_,
                              txtCloseTime_,
                              txtBranchID_,
                              chkRemoveincm_,
                              chkRemoveLbKg_,
                              chkManualEntryData_,
                              chkConvertCMtoMM_,
                              txtFileDelimiter_,
                              optLogFileName_[0],
                              optLogFileName_[1],
                              optLogFileName_[2],
                              txtConnection_,
                              txtStation_,
                              cmdTestConnection_};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void frmSettings::ShowValues(const SettingsDialogValues& values) {
    cboPort_->setCurrentText(FromFileNameText(values.CommPort));
    cboBaud_->setCurrentText(FromEightBitText(values.BaudRate));
    cboDataBits_->setCurrentText(FromEightBitText(values.DataBits));
    cboParity_->setCurrentText(FromEightBitText(values.Parity));
    cboStopBits_->setCurrentText(FromEightBitText(values.StopBits));
    const QString filePath = FromFileNameText(values.FilePath);
    txtFilePath_->setText(filePath);
    // A missing folder leaves the list at the current folder, or at the root.
    Dir1_->openFirstOf({filePath, QDir::currentPath(), QDir::rootPath()});
    txtCloseTime_->setText(FromEightBitText(values.CloseTime));
    txtBranchID_->setText(FromFileNameText(values.BranchID));
    txtScaleFactor_->setText(FromEightBitText(values.ScaleFactor));
    chkRemoveincm_->setChecked(values.RemoveInCm);
    chkRemoveLbKg_->setChecked(values.RemoveLbKg);
    chkManualEntryData_->setChecked(values.ManualEntryData);
    txtFileDelimiter_->setText(FromEightBitText(values.FileDelimiter));
    chkConvertCMtoMM_->setChecked(values.ConvertCMtoMM);
    if (values.LogFileType >= 0 && values.LogFileType < 3) {
        optLogFileName_[values.LogFileType]->setChecked(true);
    }
    txtConnection_->setText(FromEightBitText(WithoutPassword(values.DatabaseConnection)));
    txtStation_->setText(FromEightBitText(values.DatabaseStation));
}

SettingsDialogValues frmSettings::Values() const {
    SettingsDialogValues values;
    values.CommPort = FileNameText(cboPort_->currentText());
    values.BaudRate = EightBitText(cboBaud_->currentText());
    values.DataBits = EightBitText(cboDataBits_->currentText());
    values.Parity = EightBitText(cboParity_->currentText());
    values.StopBits = EightBitText(cboStopBits_->currentText());
    values.FilePath = FileNameText(txtFilePath_->text());
    values.CloseTime = EightBitText(txtCloseTime_->text());
    values.BranchID = FileNameText(txtBranchID_->text());
    values.ScaleFactor = EightBitText(txtScaleFactor_->text());
    values.RemoveInCm = chkRemoveincm_->isChecked();
    values.RemoveLbKg = chkRemoveLbKg_->isChecked();
    values.ManualEntryData = chkManualEntryData_->isChecked();
    values.FileDelimiter = EightBitText(txtFileDelimiter_->text());
    values.ConvertCMtoMM = chkConvertCMtoMM_->isChecked();
    values.LogFileType = logFileNameGroup_->checkedId();
    values.DatabaseConnection = WithoutPassword(EightBitText(txtConnection_->text()));
    values.DatabaseStation = EightBitText(txtStation_->text());
    return values;
}

void frmSettings::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();  // only Cancel and the close control discard the edits
        return;
    }
    QDialog::keyPressEvent(event);
}

// Takes the list's current folder, not the entry under the pointer.
void frmSettings::Dir1_Click() {
    txtFilePath_->setText(Dir1_->path());
}

void frmSettings::Drive1_Change(const QString& root) {
    Dir1_->openFolder(root);
}

// The data file's name is appended to the path directly, so it must end with the separator.
void frmSettings::txtFilePath_Change() {
    const QString text = txtFilePath_->text();
    if (!text.endsWith(QLatin1Char('/'))) {
        txtFilePath_->setText(text + QLatin1Char('/'));
    }
}

void frmSettings::cmdOK_Click() {
    RunGuarded(
        [this] { SaveSettings(Values(), iniFilePath_, messages_, createIniFolder_); },
        [this](const Failure& failure) { ShowFailureMessage(messages_, "Settings", failure); });
    accept();
}

}  // namespace brisolant
