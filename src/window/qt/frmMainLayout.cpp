// The main window's elements: captions, geometry in twips, fonts, initial state and menus.

#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QVBoxLayout>

#include "common/qt/TwipsLayout.h"
#include "window/qt/ClickLabel.h"
#include "window/qt/PanelStatusBar.h"
#include "window/qt/ReadableText.h"
#include "window/qt/RecordListView.h"
#include "window/qt/StatusLight.h"
#include "window/qt/ValueBoxStyle.h"
#include "window/qt/frmMain.h"

namespace brisolant {

namespace {

constexpr int kClientWidth = 9570;
constexpr int kClientHeight = 6105;
constexpr int kStatusBarHeight = 375;

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

QLineEdit* ValueBox(QWidget* parent, const QString& name, QStyle* style) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setStyle(style);
    box->setReadOnly(true);
    box->setFont(ValueFont());
    return box;
}

}  // namespace

void frmMain::BuildElements() {
    setWindowTitle(QStringLiteral("Orvane Brisolant"));
    setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));

    // The client area: the elements at fixed places, the status bar along the bottom edge.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* canvas = new QWidget(client);
    canvas->setObjectName(QStringLiteral("canvas"));
    column->addWidget(canvas, 1);
    canvas->installEventFilter(this);
    m_StatusBar = new PanelStatusBar(client);
    m_StatusBar->setObjectName(QStringLiteral("StatusBar"));
    m_StatusBar->setFixedHeight(TwipsToPixels(*this, kStatusBarHeight));
    column->addWidget(m_StatusBar);
    setCentralWidget(client);

    BuildValueColumn(canvas);
    BuildOtherElements(canvas);
    BuildMenus();
    resize(TwipsToPixels(*this, kClientWidth),
           menuBar()->sizeHint().height() + TwipsToPixels(*this, kClientHeight));
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
        m_lblData[static_cast<std::size_t>(row.captionIndex)] = caption;

        FitCaption(caption);

        QLineEdit* box = ValueBox(canvas, QStringLiteral("txtData%1").arg(row.boxIndex), style);
        Place(box, row.boxLeft, row.boxTop, row.boxIndex == 0 ? 4605 : kBoxWidth, kBoxHeight);
        m_txtData[static_cast<std::size_t>(row.boxIndex)] = box;
    }

    // The I.D. pair is never shown.
    m_lblData[1] = Caption(canvas, QStringLiteral("lblData1"), QStringLiteral("I.D."));
    m_lblData[1]->setFont(font);
    Place(m_lblData[1], 5520, 2700, 2025, kCaptionHeight);
    m_lblData[1]->hide();
    m_txtData[1] = ValueBox(canvas, QStringLiteral("txtData1"), style);
    Place(m_txtData[1], 7500, 2640, kBoxWidth, kBoxHeight);
    m_txtData[1]->hide();

    m_lblCounter = Caption(canvas, QStringLiteral("lblCounter"), QStringLiteral("Counter"));
    m_lblCounter->setFont(font);
    Place(m_lblCounter, kCaptionLeft, 5220, CaptionWidth(1980), 405);
    FitCaption(m_lblCounter);
    m_txtCounter = ValueBox(canvas, QStringLiteral("txtCounter"), style);
    Place(m_txtCounter, 1980, 5160, kBoxWidth, 435);
    m_txtCounter->setEnabled(false);
    // Drawn in the disabled style, yet readable: the style's own disabled grey on grey is not.
    QPalette palette = m_txtCounter->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     ReadableDimText(palette.color(QPalette::Disabled, QPalette::Base)));
    m_txtCounter->setPalette(palette);
}

void frmMain::BuildOtherElements(QWidget* canvas) {
    m_shpLight = new StatusLight(canvas);
    m_shpLight->setObjectName(QStringLiteral("shpLight"));
    Place(m_shpLight, 7320, 240, 2055, 1785);

    m_lblErrors = Caption(canvas, QStringLiteral("lblErrors"), QStringLiteral("0"));
    Place(m_lblErrors, 7500, 2400, 1965, 225);
    m_lblErrors->hide();

    m_Image1 = new QLabel(canvas);
    m_Image1->setObjectName(QStringLiteral("Image1"));
    m_Image1->setPixmap(QPixmap(QStringLiteral(":/assets/logo.png")));
    m_Image1->setScaledContents(true);
    Place(m_Image1, 4140, 3600, 5325, 1995);

    m_lblHiddenButton = new ClickLabel(canvas);
    m_lblHiddenButton->setObjectName(QStringLiteral("lblHiddenButton"));
    m_lblHiddenButton->setAttribute(Qt::WA_TranslucentBackground);
    Place(m_lblHiddenButton, 6300, 4260, 75, 75);
    m_lblHiddenButton->raise();

    // Received text may hold anything the line carries: shown as plain text, never as markup.
    m_lblDataReceived = Caption(canvas, QStringLiteral("lblDataReceived"), QString());
    m_lblDataReceived->setAutoFillBackground(true);
    m_lblDataReceived->setWordWrap(true);
    Place(m_lblDataReceived, 4140, 720, 3255, 2775);
    m_lblDataReceived->hide();

    m_lstData = new RecordListView(canvas);
    m_lstData->setObjectName(QStringLiteral("lstData"));
    Place(m_lstData, 0, 50, m_listWidthTwips, 255);
    m_lstData->hide();
    m_lstData->raise();
}

void frmMain::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    m_mnuExit = file->addAction(QStringLiteral("E&xit"));
    m_mnuExit->setObjectName(QStringLiteral("mnuExit"));

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    m_mnuSettings = edit->addAction(QStringLiteral("&Settings"));
    m_mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    edit->addSeparator()->setObjectName(QStringLiteral("mnuLine"));
    m_mnuResetCounter = edit->addAction(QStringLiteral("&Reset Counter"));
    m_mnuResetCounter->setObjectName(QStringLiteral("mnuResetCounter"));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    m_mnuData = view->addAction(QStringLiteral("&Data"));
    m_mnuData->setObjectName(QStringLiteral("mnuData"));
    m_mnuData->setCheckable(true);
    m_mnuData->setEnabled(false);

    m_mnuTest = bar->addAction(QStringLiteral("&Test"));
    m_mnuTest->setObjectName(QStringLiteral("mnuTest"));
    m_mnuAbout = bar->addAction(QStringLiteral("&About"));
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
}

}  // namespace brisolant
