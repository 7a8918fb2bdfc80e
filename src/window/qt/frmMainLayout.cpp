// The main window's elements: captions, geometry in twips, fonts, initial state and menus.

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "common/qt/ReadableText.h"
#include "common/qt/TwipsLayout.h"
#include "window/qt/ClickLabel.h"
#include "window/qt/PanelStatusBar.h"
#include "window/qt/RecordListView.h"
#include "window/qt/ScreenFit.h"
#include "window/qt/StartPictures.h"
#include "window/qt/StatusLight.h"
#include "window/qt/ValueBox.h"
#include "window/qt/ValueBoxStyle.h"
#include "window/qt/frmMain.h"

namespace brisolant {

namespace {

constexpr int kClientWidth = 9570;
constexpr int kClientHeight = 6105;
constexpr int kStatusBarHeight = 375;
// The least of the elements the window keeps in sight: the captions and boxes of the rows down
// to the device, and room for the scroll bars; the rest is scrolled to.
constexpr int kMinViewWidth = 3945;
constexpr int kMinViewHeight = 2160;

// One row of the value column: a caption and the value box beside it. The captions of rows
// 6 to 8 carry other indexes than their boxes.
struct ValueRow {
    int captionIndex;
    const char* caption;
    int captionTop;
    int boxIndex;
    int boxLeft;
    int boxTop;
};

constexpr ValueRow kValueRows[] = {
    {0, "Barcode", 240, 0, 2010, 210},        {2, "Date", 810, 2, 2010, 780},
    {3, "Time", 1260, 3, 2010, 1200},         {4, "Device", 1680, 4, 2010, 1620},
    {5, "Weight", 2280, 5, 1980, 2220},       {7, "Length", 2700, 6, 1980, 2640},
    {8, "Width", 3120, 7, 1980, 3060},        {6, "Height", 3540, 8, 1980, 3480},
    {9, "Dim Factor", 3960, 9, 1980, 3900},   {10, "Dim Weight", 4380, 10, 1980, 4320},
    {11, "Dim Volume", 4800, 11, 1980, 4740},
};

constexpr int kCaptionLeft = 360, kCaptionHeight = 345;
// A caption ends this far short of its box (its design width, 1605, reaches within a pixel of
// it): a caption whose text is wider than that is drawn narrower, never touching the box.
constexpr int kCaptionGap = 90;

int CaptionWidth(int boxLeft) {
    return boxLeft - kCaptionGap - kCaptionLeft;
}

constexpr int kBoxWidth = 1965, kBoxHeight = 420;

QFont ValueFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(12);
    font.setBold(true);
    return font;
}

QLabel* Caption(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A screen reader names each box by the caption beside it.
ValueBox* MakeValueBox(QWidget* parent, const QString& name, const QLabel& caption, QStyle* style) {
    auto* box = new ValueBox(parent);
    box->setObjectName(name);
    box->setAccessibleName(caption.text());
    box->setStyle(style);
    box->setFont(ValueFont());
    return box;
}

}  // namespace

void frmMain::BuildElements(const std::string& stationName) {
    // Two stations on one PC are told apart by their settings files' names. "[*]" is Qt's
    // placeholder for a modified mark; doubled, it shows as written.
    QString caption = QStringLiteral("Orvane Brisolant");
    if (!stationName.empty()) {
        caption += QStringLiteral(" \u2014 ") +
                   QFile::decodeName(stationName.c_str())
                       .replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    }
    setWindowTitle(caption);
    // The program gives every window its icon; decoding it again for this one costs the start.
    if (QApplication::windowIcon().isNull()) {
        setWindowIcon(ProgramIcon());
    }

    // The client area: the elements at fixed places, the status bar along the bottom edge.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("fraClient"));
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // On a screen too small for the whole window the elements scroll above the status bar.
    auto* view = new QScrollArea(client);
    view->setObjectName(QStringLiteral("fraView"));
    view->setFrameShape(QFrame::NoFrame);
    view->setFocusPolicy(Qt::NoFocus);
    view->setWidgetResizable(true);
    view->setMinimumSize(TwipsToPixels(*this, kMinViewWidth), TwipsToPixels(*this, kMinViewHeight));
    auto* canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("fraCanvas"));
    canvas->setMinimumSize(TwipsToPixels(*this, kClientWidth),
                           TwipsToPixels(*this, kClientHeight - kStatusBarHeight));
    view->setWidget(canvas);
    column->addWidget(view, 1);
    view->viewport()->installEventFilter(this);
    StatusBar_ = new PanelStatusBar(client);
    StatusBar_->setObjectName(QStringLiteral("StatusBar"));
    StatusBar_->setFixedHeight(TwipsToPixels(*this, kStatusBarHeight));
    column->addWidget(StatusBar_);
    setCentralWidget(client);

    BuildValueColumn(canvas);
    BuildOtherElements(canvas);
    BuildMenus();
    resize(TwipsToPixels(*this, kClientWidth),
           menuBar()->sizeHint().height() + TwipsToPixels(*this, kClientHeight));
    FitIntoScreen(*this, screen()->availableGeometry());
}

void frmMain::BuildValueColumn(QWidget* canvas) {
    const QFont font = ValueFont();
    auto* style = new ValueBoxStyle(this);
    for (const ValueRow& row : kValueRows) {
        QLabel* caption = Caption(canvas, QStringLiteral("lblData%1").arg(row.captionIndex),
                                  QString::fromLatin1(row.caption));
        caption->setFont(font);
        Place(caption, kCaptionLeft, row.captionTop, CaptionWidth(row.boxLeft),
              row.captionIndex == 0 ? 375 : kCaptionHeight);
        lblData_[static_cast<std::size_t>(row.captionIndex)] = caption;

        FitCaption(caption);

        ValueBox* box =
            MakeValueBox(canvas, QStringLiteral("txtData%1").arg(row.boxIndex), *caption, style);
        Place(box, row.boxLeft, row.boxTop, row.boxIndex == 0 ? 4605 : kBoxWidth, kBoxHeight);
        txtData_[static_cast<std::size_t>(row.boxIndex)] = box;
    }

    // The I.D. pair is never shown.
    lblData_[1] = Caption(canvas, QStringLiteral("lblData1"), QStringLiteral("I.D."));
    lblData_[1]->setFont(font);
    Place(lblData_[1], 5520, 2700, 2025, kCaptionHeight);
    lblData_[1]->hide();
    txtData_[1] = MakeValueBox(canvas, QStringLiteral("txtData1"), *lblData_[1], style);
    Place(txtData_[1], 7500, 2640, kBoxWidth, kBoxHeight);
    txtData_[1]->hide();

    lblCounter_ = Caption(canvas, QStringLiteral("lblCounter"), QStringLiteral("Counter"));
    lblCounter_->setFont(font);
    Place(lblCounter_, kCaptionLeft, 5220, CaptionWidth(1980), 405);
    FitCaption(lblCounter_);
    txtCounter_ = MakeValueBox(canvas, QStringLiteral("txtCounter"), *lblCounter_, style);
    Place(txtCounter_, 1980, 5160, kBoxWidth, 435);
    txtCounter_->setEnabled(false);
    KeepCounterReadable();
    txtCounter_->installEventFilter(this);
}

// The counter is drawn in the disabled style, yet readable: the style's own disabled grey on
// grey is not. The grey follows the palette, the desktop's dark or light theme.
void frmMain::KeepCounterReadable() {
    QPalette palette = txtCounter_->palette();
    const QColor readable = ReadableDimText(palette.color(QPalette::Disabled, QPalette::Base));
    if (palette.color(QPalette::Disabled, QPalette::Text) != readable) {
        palette.setColor(QPalette::Disabled, QPalette::Text, readable);
        txtCounter_->setPalette(palette);
    }
}

void frmMain::BuildOtherElements(QWidget* canvas) {
    shpLight_ = new StatusLight(canvas);
    shpLight_->setObjectName(QStringLiteral("shpLight"));
    Place(shpLight_, 7320, 240, 2055, 1785);

    lblErrors_ = Caption(canvas, QStringLiteral("lblErrors"), QStringLiteral("0"));
    Place(lblErrors_, 7500, 2400, 1965, 225);
    lblErrors_->hide();

    Image1_ = new QLabel(canvas);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->setScaledContents(true);
    Place(Image1_, 4140, 3600, 5325, 1995);
    Image1_->setPixmap(LogoPicture(Image1_->size() * Image1_->devicePixelRatio()));

    lblHiddenButton_ = new ClickLabel(canvas);
    lblHiddenButton_->setObjectName(QStringLiteral("lblHiddenButton"));
    lblHiddenButton_->setAttribute(Qt::WA_TranslucentBackground);
    Place(lblHiddenButton_, 6300, 4260, 75, 75);
    lblHiddenButton_->raise();

    // Received text may hold anything the line carries: shown as plain text, never as markup.
    lblDataReceived_ = Caption(canvas, QStringLiteral("lblDataReceived"), QString());
    lblDataReceived_->setAutoFillBackground(true);
    lblDataReceived_->setWordWrap(true);
    Place(lblDataReceived_, 4140, 720, 3255, 2775);
    lblDataReceived_->hide();

    lstData_ = new RecordListView(canvas);
    lstData_->setObjectName(QStringLiteral("lstData"));
    Place(lstData_, 0, 50, listWidthTwips_, 255);
    lstData_->hide();
    lstData_->raise();
}

void frmMain::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    mnuExit_ = file->addAction(QStringLiteral("E&xit"));
    mnuExit_->setObjectName(QStringLiteral("mnuExit"));

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    mnuSettings_ = edit->addAction(QStringLiteral("&Settings"));
    mnuSettings_->setObjectName(QStringLiteral("mnuSettings"));
    edit->addSeparator()->setObjectName(QStringLiteral("mnuLine"));
    mnuResetCounter_ = edit->addAction(QStringLiteral("&Reset Counter"));
    mnuResetCounter_->setObjectName(QStringLiteral("mnuResetCounter"));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    mnuData_ = view->addAction(QStringLiteral("&Data"));
    mnuData_->setObjectName(QStringLiteral("mnuData"));
    mnuData_->setCheckable(true);
    mnuData_->setEnabled(false);

    mnuTest_ = bar->addAction(QStringLiteral("&Test"));
    mnuTest_->setObjectName(QStringLiteral("mnuTest"));
    mnuAbout_ = bar->addAction(QStringLiteral("&About"));
    mnuAbout_->setObjectName(QStringLiteral("mnuAbout"));
}

}  // namespace brisolant
