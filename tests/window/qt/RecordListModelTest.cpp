#include "window/qt/RecordListModel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListView>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

std::size_t OpenFileCount() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

class RecordListModelTest : public testing::Test {
  protected:
    // One application for the whole run, never destroyed: Qt's own globals may already be gone
    // when static objects are torn down at exit.
    static void SetUpTestSuite() {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "shell_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    void SetUp() override {
        QObject::connect(
            &model, &QAbstractItemModel::rowsInserted,
            [this](const QModelIndex&, int first, int last) {
                changes.push_back("insert " + std::to_string(first) + "-" + std::to_string(last));
            });
        QObject::connect(&model, &QAbstractItemModel::modelReset,
                         [this] { changes.push_back("reset"); });
    }

    std::string WriteDataFile(const std::string& name, const std::string& content) {
        const std::string path = dir.file(name);
        test::WriteFile(path, content);
        return path;
    }

    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            rows.push_back(model.data(model.index(row)).toString().toStdString());
        }
        return rows;
    }

    test::TempDir dir;
    RecordListModel model;
    std::vector<std::string> changes;
};

TEST_F(RecordListModelTest, SwitchingOnOffOnShowsEachLineOnce) {
    const std::string path = WriteDataFile("LOG-241.txt", "one\r\ntwo\r\n");

    model.AppendFile(path);
    model.Clear();
    model.AppendFile(path);

    EXPECT_EQ(Rows(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(changes, (std::vector<std::string>{"insert 0-1", "reset", "insert 0-1"}));
}

TEST_F(RecordListModelTest, LinesKeepTheOrderInWhichTheyCame) {
    const std::string day241 = WriteDataFile("LOG-241.txt", "a1\r\na2\r\n");
    const std::string day242 = WriteDataFile("LOG-242.txt", "b1\rb2");

    model.AppendFile(day241);
    model.AppendLine("a3");
    model.AppendLine("a4");
    model.AppendFile(day242);
    model.AppendLine("b3");

    EXPECT_EQ(Rows(), (std::vector<std::string>{"a1", "a2", "a3", "a4", "b1", "b2", "b3"}));
    EXPECT_EQ(changes, (std::vector<std::string>{"insert 0-1", "insert 2-2", "insert 3-3",
                                                 "insert 4-5", "insert 6-6"}));
}

TEST_F(RecordListModelTest, EmptyFileAddsNoRows) {
    model.AppendFile(WriteDataFile("LOG-241.txt", ""));

    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(changes.empty());
}

TEST_F(RecordListModelTest, FailedAppendFileLeavesTheModelUnchanged) {
    model.AppendLine("kept");
    changes.clear();

    try {
        model.AppendFile(dir.file("LOG-999.txt"));
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), FailureCode::DataFileRead);
        EXPECT_EQ(failure.description().rfind(std::string(FailureDescription(failure.code())), 0),
                  0u);
        EXPECT_NE(failure.description().find(dir.file("LOG-999.txt")), std::string::npos);
    }

    EXPECT_EQ(Rows(), std::vector<std::string>{"kept"});
    EXPECT_TRUE(changes.empty());
}

TEST_F(RecordListModelTest, EightBitBytesShowAsLatin1) {
    model.AppendFile(WriteDataFile("LOG-241.txt", "Caf\xE9 \xB0\r\n"));
    model.AppendLine("\xC4\xFF");

    EXPECT_EQ(model.data(model.index(0)).toString(), QString::fromUtf8("Café °"));
    EXPECT_EQ(model.data(model.index(1)).toString(), QString::fromUtf8("Äÿ"));
}

// Records never hold control characters, but a line of any other file can; a row stays one line.
TEST_F(RecordListModelTest, ControlCharactersShowAsSpaces) {
    model.AppendFile(WriteDataFile("LOG-241.txt", std::string("a\nb\tc\x7F\0d\r\n", 9)));

    EXPECT_EQ(model.data(model.index(0)).toString(), "a b c  d");
}

TEST_F(RecordListModelTest, OnlyDisplayRoleAndRowsInRangeHaveData) {
    model.AppendLine("x");

    EXPECT_FALSE(model.data(model.index(0), Qt::EditRole).isValid());
    EXPECT_FALSE(model.data(model.index(1)).isValid());
    EXPECT_EQ(model.rowCount(model.index(0)), 0);
}

TEST_F(RecordListModelTest, ClearReleasesTheFiles) {
    const std::size_t before = OpenFileCount();
    model.AppendFile(WriteDataFile("LOG-241.txt", "one\r\n"));
    model.AppendFile(WriteDataFile("LOG-242.txt", "two\r\n"));
    EXPECT_EQ(OpenFileCount(), before + 2);

    model.Clear();

    EXPECT_EQ(OpenFileCount(), before);
    EXPECT_EQ(model.rowCount(), 0);
}

// A list view asks only for the rows it shows; the last row of a long file is reachable.
TEST_F(RecordListModelTest, ListViewScrolledToTheEndShowsTheLastLine) {
    std::string content;
    for (int i = 0; i < 5000; ++i) {
        content += "line " + std::to_string(i) + "\r\n";
    }
    model.AppendFile(WriteDataFile("LOG-241.txt", content));
    QListView view;
    view.setUniformItemSizes(true);
    view.setModel(&model);
    view.resize(300, 200);
    view.show();

    view.scrollToBottom();
    QApplication::processEvents();

    const QModelIndex bottom = view.indexAt(QPoint(5, view.viewport()->height() - 5));
    EXPECT_EQ(bottom.row(), 4999);
    EXPECT_EQ(bottom.data().toString(), "line 4999");
}

}  // namespace
}  // namespace brisolant
