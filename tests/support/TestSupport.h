#pragma once

// Fakes and small helpers shared by the tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/MessagePresenter.h"

namespace brisolant::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder with a trailing "/", as FilePath holds it.
    std::string folder() const { return path_.string() + "/"; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

// Every byte value but CR and LF, in order: as much junk as fits on one line of a text file.
std::string AllBytesButLineEnds();

// Message boxes recorded instead of shown.
class RecordingMessages : public MessagePresenter {
  public:
    struct Message {
        std::string title;
        std::string text;
    };
    void ShowMessage(const std::string& title, const std::string& text) override {
        shown.push_back({title, text});
    }
    std::vector<Message> shown;
};

// A clock that shows whatever the test sets.
class FakeClock : public Clock {
  public:
    LocalDateTime Now() const override { return now; }
    std::chrono::steady_clock::time_point Steady() const override { return steady; }
    LocalDateTime now{2007, 8, 29, 14, 3, 7};
    std::chrono::steady_clock::time_point steady{};
};

// While it lives, files in `folder` that are open to everyone may be written but no file can be
// made or renamed there: the folder is closed to writing. The superuser writes everywhere, so it
// borrows the identity of "nobody" (effective user only) for the while. Usable() says whether
// the folder could be set up so.
class FolderClosedToWriter {
  public:
    explicit FolderClosedToWriter(const std::filesystem::path& folder);
    ~FolderClosedToWriter();
    FolderClosedToWriter(const FolderClosedToWriter&) = delete;
    FolderClosedToWriter& operator=(const FolderClosedToWriter&) = delete;

    bool Usable() const { return usable_; }

  private:
    std::filesystem::path folder_;
    bool borrowedIdentity_ = false;
    bool usable_ = false;
};

}  // namespace brisolant::test
