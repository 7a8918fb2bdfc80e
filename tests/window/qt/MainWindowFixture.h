#pragma once

// The main window over a program folder of its own, as the window's tests open it.

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/FindControl.h"
#include "support/PseudoTerminal.h"
#include "support/QtTestApp.h"
#include "support/TestSupport.h"
#include "window/qt/ValueBox.h"
#include "window/qt/frmMain.h"

namespace brisolant::test {

// Counts the paint events each watched widget receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(std::map<QObject*, int>& paints) : paints_(paints) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints_[watched];
        }
        return false;
    }

  private:
    std::map<QObject*, int>& paints_;
};

// The main window over a program folder of its own, whose settings point the port at a
// pseudo-terminal and the data files at a folder of their own.
class MainWindowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApplication();
        if (!pty.ok()) {
            GTEST_SKIP() << "no pseudo-terminal available";
        }
    }

    // Extra lines go to the SETTINGS section.
    void WriteSettings(const std::string& commPort, const std::string& extra = {},
                       const std::string& baudRate = "9600") {
        WriteFile(program.file("Orvane.ini"),
                  "[COMMUNICATION]\r\nCommPort=" + commPort + "\r\nBaudRate=" + baudRate +
                      "\r\n[SETTINGS]\r\nFilePath=" + data.folder() + "\r\n" + extra);
    }

    frmMain& Open(const std::string& commPort, const std::string& extra = {}) {
        WriteSettings(commPort, extra);
        window = std::make_unique<frmMain>(program.path().string());
        window->show();
        return *window;
    }

    template <typename T>
    T* Find(const QString& name) const {
        return test::FindControl<T>(*window, name);
    }
    // The panel's whole text, which its tooltip shows.
    QString Panel(int panel) const {
        return Find<QLabel>(QStringLiteral("lblPanel%1").arg(panel))->toolTip();
    }
    QString Box(const QString& name) const { return Find<ValueBox>(name)->Text(); }
    QAction* Action(const char* name) const { return Find<QAction>(QString::fromLatin1(name)); }

    // The data files written so far, whole.
    std::vector<std::string> DataFiles() const {
        std::vector<std::string> contents;
        for (const auto& entry : std::filesystem::directory_iterator(data.path())) {
            contents.push_back(ReadFile(entry.path().string()));
        }
        return contents;
    }

    PseudoTerminal pty;
    TempDir program;
    TempDir data;
    std::unique_ptr<frmMain> window;
};

}  // namespace brisolant::test
