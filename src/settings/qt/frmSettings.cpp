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

#include "common/qt/TwipsLayout.h"
#include "settings/qt/DriveList.h"
#include "settings/qt/FolderList.h"
#include "settings/qt/PortChoices.h"

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

frmSettings::frmSettings(const Settings& settings, MessagePresenter& messages, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_iniFilePath(settings.IniFilePath),
      m_createIniFolder(settings.CreateIniFolder),
      m_messages(messages) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);
    setFixedSize(TwipsToPixels(*this, 9450), TwipsToPixels(*this, 4485));
    setFont(FieldFont());

    CreateFileGroup();
    CreateCommunicationGroup();
    CreateButtons();
    SetFocusOrder();
    FitCaptions(this);
    ShowValues(DialogValuesFrom(settings));
    FitPortList();
    cmdOK->setFocus();
}

void frmSettings::CreateCommunicationGroup() {
    Frame1 = new QGroupBox(QStringLiteral("Communication"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFont(GroupFont());
    Place(Frame1, 6000, 30, 3345, 2415);

    struct Row {
        QComboBox** combo;
        const char* name;
        const char* label;
        QStringList items;
    };
    const Row rows[] = {
        {&cboPort, "cboPort", "Computer Port", PortChoices()},
        {&cboBaud,
         "cboBaud",
         "Baud Rate",
         {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}},
        {&cboParity, "cboParity", "Parity", {"None", "Even", "Odd"}},
        {&cboDataBits, "cboDataBits", "Data Bits", {"7", "8"}},
        {&cboStopBits, "cboStopBits", "Stop Bits", {"1", "2"}},
    };
    int top = 330;
    for (const Row& row : rows) {
        *row.combo = MakeCombo(Frame1, row.name, row.items);
        Place(*row.combo, 1590, top, 1575, 315);
        auto* label = new QLabel(QString::fromLatin1(row.label), Frame1);
        label->setFont(FieldFont());
        Place(label, 270, top + 30, 1290 - kCaptionGap, 255);
        top += 390;
    }
}

// A device path such as /dev/serial/by-id/usb-… is longer than the box: the drop-down opens wide
// enough for the longest entry, and the box shows the whole path as a tooltip.
void frmSettings::FitPortList() {
    const auto showWhole = [this](const QString& text) { cboPort->setToolTip(text); };
    connect(cboPort, &QComboBox::currentTextChanged, this, showWhole);
    showWhole(cboPort->currentText());
    connect(cboPort->model(), &QAbstractItemModel::rowsInserted, this, &frmSettings::WidenPortList);
    WidenPortList();
}

void frmSettings::WidenPortList() {
    QAbstractItemView* list = cboPort->view();
    const int widest = list->sizeHintForColumn(0);  // the entries as the list draws them
    const int chrome = list->verticalScrollBar()->sizeHint().width() + 2 * list->frameWidth();
    list->setMinimumWidth(std::max(widest + chrome, cboPort->width()));
}

void frmSettings::CreateFileGroup() {
    Frame2 = new QGroupBox(QStringLiteral("File"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setFont(GroupFont());
    Place(Frame2, 30, 30, 5925, 4395);

    // Labels end just short of their fields; a tall one wraps onto a second line.
    const auto label = [this](const char* caption, int top, int height = 255) {
        auto* text = new QLabel(QString::fromLatin1(caption), Frame2);
        text->setFont(FieldFont());
        text->setWordWrap(height > 255);
        text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        Place(text, 180, top, 1410 - kCaptionGap, height);
    };

    txtFilePath = MakeTextBox(Frame2, "txtFilePath");
    txtFilePath->setReadOnly(true);
    Place(txtFilePath, 1620, 300, 4215, 315);
    label("Data File Path", 330);
    connect(txtFilePath, &QLineEdit::textChanged, this, &frmSettings::txtFilePath_Change);

    Drive1 = new DriveList(Frame2);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setFont(ListFont());
    Place(Drive1, 1620, 660, 2595, 315);
    Drive1->showDriveOf(QDir::currentPath());
    connect(Drive1, &DriveList::driveChosen, this, &frmSettings::Drive1_Change);

    Dir1 = new FolderList(Frame2);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setFont(ListFont());
    Place(Dir1, 1620, 1020, 2595, 1215);
    if (!Dir1->setPath(QDir::currentPath())) {
        Dir1->setPath(QDir::rootPath());
    }
    connect(Dir1, &FolderList::folderClicked, this, &frmSettings::Dir1_Click);

    txtCloseTime = MakeTextBox(Frame2, "txtCloseTime");
    Place(txtCloseTime, 1620, 2340, 1305, 315);
    label("File Close Time (HH:MM:SS)", 2250, 465);

    txtBranchID = MakeTextBox(Frame2, "txtBranchID");
    Place(txtBranchID, 1620, 2760, 1305, 315);
    label("Branch ID", 2790);

    txtFileDelimiter = MakeTextBox(Frame2, "txtFileDelimiter");
    txtFileDelimiter->setMaxLength(1);
    Place(txtFileDelimiter, 1620, 3180, 555, 315);
    label("File Delimiter", 3210);

    label("File Name Date", 3540);
    m_logFileNameGroup = new QButtonGroup(this);
    m_logFileNameGroup->setExclusive(true);  // none is chosen until the operator picks one
    const char* const captions[] = {"Julian Date", "YYYYMMDD", "None"};
    for (int index = 0; index < 3; ++index) {
        optLogFileName[index] = new QRadioButton(QString::fromLatin1(captions[index]), Frame2);
        optLogFileName[index]->setObjectName(QStringLiteral("optLogFileName%1").arg(index));
        optLogFileName[index]->setFont(ListFont());
        Place(optLogFileName[index], 1620, 3540 + 240 * index, 1425, 240);
        m_logFileNameGroup->addButton(optLogFileName[index], index);
    }

    chkRemoveincm = MakeCheckBox(Frame2, "chkRemoveincm", "Remove in/cm From Output");
    Place(chkRemoveincm, 3060, 2340, 2775, 375);
    chkRemoveLbKg = MakeCheckBox(Frame2, "chkRemoveLbKg", "Remove lb/kg From Output");
    Place(chkRemoveLbKg, 3060, 2760, 2775, 375);
    chkManualEntryData = MakeCheckBox(Frame2, "chkManualEntryData", "Manual Entry Data");
    Place(chkManualEntryData, 3060, 3180, 2775, 375);
    chkConvertCMtoMM = MakeCheckBox(Frame2, "chkConvertCMtoMM", "Convert: cm -> mm, kg -> g");
    Place(chkConvertCMtoMM, 3060, 3600, 2775, 375);

    txtScaleFactor = MakeTextBox(Frame2, "txtScaleFactor");
    Place(txtScaleFactor, 4560, 3960, 1305, 315);
    txtScaleFactor->hide();
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
    cmdOK = button("cmdOK", "&OK", 6030);
    cmdCancel = button("cmdCancel", "&Cancel", 7710);
    connect(cmdOK, &QPushButton::clicked, this, &frmSettings::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmSettings::SetFocusOrder() {
    QWidget* const order[] = {cmdOK,
                              cmdCancel,
                              cboStopBits,
                              cboParity,
                              cboDataBits,
                              cboBaud,
                              cboPort,
                              Dir1,
                              Drive1,
                              txtFilePath,
                              txtCloseTime,
                              txtBranchID,
                              chkRemoveincm,
                              chkRemoveLbKg,
                              chkManualEntryData,
                              chkConvertCMtoMM,
                              txtFileDelimiter,
                              optLogFileName[0],
                              optLogFileName[1],
                              optLogFileName[2]};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void frmSettings::ShowValues(const SettingsDialogValues& values) {
    cboPort->setCurrentText(FromFileNameText(values.CommPort));
    cboBaud->setCurrentText(FromEightBitText(values.BaudRate));
    cboDataBits->setCurrentText(FromEightBitText(values.DataBits));
    cboParity->setCurrentText(FromEightBitText(values.Parity));
    cboStopBits->setCurrentText(FromEightBitText(values.StopBits));
    const QString filePath = FromFileNameText(values.FilePath);
    txtFilePath->setText(filePath);
    Dir1->setPath(filePath);  // a missing folder leaves the list where it was
    txtCloseTime->setText(FromEightBitText(values.CloseTime));
    txtBranchID->setText(FromFileNameText(values.BranchID));
    txtScaleFactor->setText(FromEightBitText(values.ScaleFactor));
    chkRemoveincm->setChecked(values.RemoveInCm);
    chkRemoveLbKg->setChecked(values.RemoveLbKg);
    chkManualEntryData->setChecked(values.ManualEntryData);
    txtFileDelimiter->setText(FromEightBitText(values.FileDelimiter));
    chkConvertCMtoMM->setChecked(values.ConvertCMtoMM);
    if (values.LogFileType >= 0 && values.LogFileType < 3) {
        optLogFileName[values.LogFileType]->setChecked(true);
    }
}

SettingsDialogValues frmSettings::Values() const {
    SettingsDialogValues values;
    values.CommPort = FileNameText(cboPort->currentText());
    values.BaudRate = EightBitText(cboBaud->currentText());
    values.DataBits = EightBitText(cboDataBits->currentText());
    values.Parity = EightBitText(cboParity->currentText());
    values.StopBits = EightBitText(cboStopBits->currentText());
    values.FilePath = FileNameText(txtFilePath->text());
    values.CloseTime = EightBitText(txtCloseTime->text());
    values.BranchID = FileNameText(txtBranchID->text());
    values.ScaleFactor = EightBitText(txtScaleFactor->text());
    values.RemoveInCm = chkRemoveincm->isChecked();
    values.RemoveLbKg = chkRemoveLbKg->isChecked();
    values.ManualEntryData = chkManualEntryData->isChecked();
    values.FileDelimiter = EightBitText(txtFileDelimiter->text());
    values.ConvertCMtoMM = chkConvertCMtoMM->isChecked();
    values.LogFileType = m_logFileNameGroup->checkedId();
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
    txtFilePath->setText(Dir1->path());
}

void frmSettings::Drive1_Change(const QString& root) {
    if (!Dir1->setPath(root)) {
        Drive1->showDriveOf(Dir1->path());  // an unreadable drive leaves the list where it was
    }
}

// The data file's name is appended to the path directly, so it must end with the separator.
void frmSettings::txtFilePath_Change() {
    const QString text = txtFilePath->text();
    if (!text.endsWith(QLatin1Char('/'))) {
        txtFilePath->setText(text + QLatin1Char('/'));
    }
}

void frmSettings::cmdOK_Click() {
    SaveSettings(Values(), m_iniFilePath, m_messages, m_createIniFolder);
    accept();
}

}  // namespace brisolant
