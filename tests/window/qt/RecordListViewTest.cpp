#include "window/qt/RecordListView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

#include "support/QtTestApp.h"
#include "support/QtWaiting.h"
#include "support/Screenshot.h"
#include "support/TestSupport.h"

namespace brisolant::test {
namespace {

class RecordListViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApplication();
        view = std::make_unique<RecordListView>();
        view->resize(300, 200);
        view->show();
    }

    std::string WriteLines(const std::string& name, int count, const std::string& prefix) {
        std::string content;
        for (int i = 0; i < count; ++i) {
            content += prefix + std::to_string(i) + "\r\n";
        }
        const std::string path = dir.file(name);
        WriteFile(path, content);
        return path;
    }

    // Shows the file's lines as the view gets them from its reading thread.
    void ShowFile(const std::string& path) {
        view->ShowFile(ReadDataFileLines(path, RecordLines::kMaxShownBytes));
    }

    QTimer* RangeTimer() const { return view->findChild<QTimer*>("tmrScrollRange"); }

    // The row drawn at the bottom edge of the view.
    int BottomRow() const {
        return view->TopRow() + view->viewport()->height() / view->fontMetrics().lineSpacing() - 1;
    }

    TempDir dir;
    std::unique_ptr<RecordListView> view;
};

TEST_F(RecordListViewTest, RowsShowEightBitBytesAsLatin1AndControlCharactersAsSpaces) {
    static const char content[] = "Caf\xE9 \xB0\r\na\nb\tc\x7F\0d\r\n";
    WriteFile(dir.file("LOG-241.txt"), std::string(content, sizeof content - 1));
    ShowFile(dir.file("LOG-241.txt"));
    view->AppendLine("\xC4\xFF");

    ASSERT_EQ(view->RowCount(), 3);
    EXPECT_EQ(view->RowText(0), QString::fromUtf8("Café °"));
    EXPECT_EQ(view->RowText(1), "a b c  d");
    EXPECT_EQ(view->RowText(2), QString::fromUtf8("Äÿ"));
    EXPECT_EQ(view->RowText(3), QString());
}

// The view opens at the newest line and follows new lines while the operator leaves it at the
// end; scrolled up to read, it stays where the operator left it until sent to the end again.
TEST_F(RecordListViewTest, OpensAtTheNewestLineAndFollowsWhileLeftAtTheEnd) {
    ShowFile(WriteLines("LOG-241.txt", 5000, "line "));
    EXPECT_EQ(BottomRow(), 4999);
    EXPECT_EQ(view->RowText(BottomRow()), "line 4999");

    view->AppendLine("new");
    EXPECT_EQ(BottomRow(), 5000);
    EXPECT_EQ(view->RowText(BottomRow()), "new");

    PressKey(view.get(), Qt::Key_Home);
    view->AppendLine("newer");
    ASSERT_TRUE(PumpUntil([&] { return !RangeTimer()->isActive(); }));
    EXPECT_EQ(view->TopRow(), 0);
    EXPECT_EQ(view->RowCount(), 5002);

    PressKey(view.get(), Qt::Key_End);
    view->AppendLine("newest");
    ASSERT_TRUE(PumpUntil([&] { return BottomRow() == 5002; }));
    EXPECT_EQ(view->RowText(BottomRow()), "newest");
}

// Drawing the scroll bars is most of what a new line costs: however fast lines come, the bars
// follow them at most twice a second, the first line at once and the others together once the
// interval is over; the timer that holds them back then stops.
TEST_F(RecordListViewTest, TheScrollBarsFollowABurstOfLinesInTwoSteps) {
    ShowFile(WriteLines("LOG-241.txt", 500, "line "));
    QScrollBar* bar = view->verticalScrollBar();
    const int end = bar->maximum();

    for (int i = 0; i < 100; ++i) {
        view->AppendLine("burst " + std::to_string(i));
    }
    EXPECT_EQ(bar->maximum(), end + 1);
    EXPECT_EQ(view->RowText(BottomRow()), "burst 0");

    ASSERT_TRUE(PumpUntil([&] { return bar->maximum() != end + 1; }));
    EXPECT_EQ(bar->maximum(), end + 100);
    EXPECT_EQ(view->RowText(BottomRow()), "burst 99");
    ASSERT_TRUE(PumpUntil([&] { return !RangeTimer()->isActive(); }));
    EXPECT_EQ(bar->maximum(), end + 100);
}

TEST_F(RecordListViewTest, TheScrollBarsReachTheLastRowAndTheWidestLine) {
    ShowFile(WriteLines("LOG-241.txt", 100, std::string(200, 'x')));

    EXPECT_EQ(view->verticalScrollBar()->maximum(),
              100 - view->viewport()->height() / view->fontMetrics().lineSpacing());
    EXPECT_GE(view->horizontalScrollBar()->maximum() + view->viewport()->width(),
              view->fontMetrics().horizontalAdvance(view->RowText(99)));
}

// Only the characters that reach into view are laid out: a long row is still drawn up to the
// right edge, wherever it is scrolled to.
TEST_F(RecordListViewTest, ALongRowIsDrawnUpToTheRightEdge) {
    view->AppendLine(std::string(400, 'M'));
    QScrollBar* bar = view->horizontalScrollBar();
    const int advance = view->fontMetrics().horizontalAdvance(QLatin1Char('M'));
    for (const int offset : {0, bar->maximum() / 2}) {
        bar->setValue(offset);
        const QImage row = view->viewport()->grab().toImage().copy(
            view->viewport()->width() - advance, 0, advance, view->fontMetrics().lineSpacing());
        bool ink = false;
        for (int y = 0; y < row.height(); ++y) {
            for (int x = 0; x < row.width(); ++x) {
                ink = ink || qGray(row.pixel(x, y)) < 128;
            }
        }
        EXPECT_TRUE(ink) << "scrolled to " << offset;
    }
}

// A data file an editor saves while the view is on, or one removed and made again by the next
// scan: the rows still show the file as it was when the view opened, then each record written
// since, once, however often the view is drawn.
TEST_F(RecordListViewTest, RowsShowTheFileAsOpenedThenEachNewRecordOnce) {
    const std::string path = dir.file("LOG-241.txt");
    const auto editorSave = [&] {
        WriteFile(dir.file("saved"), ReadFile(path));
        std::filesystem::rename(dir.file("saved"), path);
    };
    const auto removal = [&] { std::filesystem::remove(path); };
    for (const auto& change : {std::function<void()>(editorSave), std::function<void()>(removal)}) {
        view->Clear();
        WriteFile(path, "D1\r\nD2\r\nD3\r\n");
        ShowFile(path);
        view->grab();

        change();
        WriteFile(path, ReadFile(path) + "D4\r\n");  // the next scan's record
        view->AppendLine("D4");
        view->grab();  // draws the view, as the next repaint on screen does

        ASSERT_EQ(view->RowCount(), 4);
        EXPECT_EQ(view->RowText(0), "D1");
        EXPECT_EQ(view->RowText(2), "D3");
        EXPECT_EQ(view->RowText(3), "D4");
    }
}

// Does the row hold dark ink (the text colour) or only light ink (the placeholder grey)?
enum class Ink { None, Grey, Dark };
Ink InkOfRow(RecordListView& view, int row) {
    const int height = view.fontMetrics().lineSpacing();
    const QImage image =
        view.viewport()->grab().toImage().copy(0, row * height, view.viewport()->width(), height);
    Ink ink = Ink::None;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int gray = qGray(image.pixel(x, y));
            if (gray < 60) {
                return Ink::Dark;
            }
            if (gray < 200) {
                ink = Ink::Grey;
            }
        }
    }
    return ink;
}

// While the file is read the view shows one grey row saying so; records written meanwhile wait
// behind the file's lines, and come once each when they do.
TEST_F(RecordListViewTest, WhileItsFileIsReadTheViewSaysSoAndRecordsWaitBehindIt) {
    const std::string path = WriteLines("LOG-241.txt", 3, "line ");
    view->ShowReading();
    view->AppendRecord(path, 8, "line 1");  // the file holds it by the time it is read
    view->AppendRecord(path, 24, "new");

    EXPECT_TRUE(view->Reading());
    EXPECT_EQ(view->RowCount(), 0);
    EXPECT_EQ(InkOfRow(*view, 0), Ink::Grey);
    EXPECT_EQ(InkOfRow(*view, 1), Ink::None);
    EXPECT_TRUE(SaveScreenshot(*view, "data-view-reading"));

    ShowFile(path);
    EXPECT_FALSE(view->Reading());
    ASSERT_EQ(view->RowCount(), 4);
    EXPECT_EQ(view->RowText(1), "line 1");
    EXPECT_EQ(view->RowText(3), "new");
    EXPECT_EQ(InkOfRow(*view, 0), Ink::Dark);
}

// Rows away from the newest are read a block at a time on a thread of the view's own: until
// their block comes they say "Reading…" in grey, then show their text.
TEST_F(RecordListViewTest, ARowNotReadYetSaysSoUntilItsBlockComes) {
    ShowFile(WriteLines("LOG-241.txt", 5000, "line "));
    EXPECT_TRUE(view->RowRead(4999)) << "the newest rows come with the file";
    EXPECT_FALSE(view->RowRead(0));

    PressKey(view.get(), Qt::Key_Home);
    EXPECT_EQ(InkOfRow(*view, 0), Ink::Grey);
    ASSERT_TRUE(PumpUntil([&] { return view->RowRead(0); }));
    EXPECT_EQ(view->RowText(0), "line 0");
    EXPECT_TRUE(PumpUntil([&] { return InkOfRow(*view, 0) == Ink::Dark; }));
}

}  // namespace
}  // namespace brisolant::test
