#pragma once

// Pictures of windows, to look at as an operator would.

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <cstdlib>
#include <string>

#include "support/TestSupport.h"

namespace brisolant::test {

// Saves a picture of the widget as <name>.png into the folder BRISOLANT_SCREENSHOTS names, to
// look at after the run; without it, into a folder of the test's own that goes with the test,
// so that drawing and saving are still checked.
inline ::testing::AssertionResult SaveScreenshot(QWidget& widget, const std::string& name) {
    const char* kept = std::getenv("BRISOLANT_SCREENSHOTS");
    const TempDir scratch;
    const std::string folder = kept != nullptr && *kept != '\0' ? kept : scratch.path().string();
    const std::string path = folder + "/" + name + ".png";
    if (!widget.grab().save(QString::fromStdString(path))) {
        return ::testing::AssertionFailure() << "could not save " << path;
    }
    return ::testing::AssertionSuccess() << path;
}

}  // namespace brisolant::test
