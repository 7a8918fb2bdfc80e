#include "support/FakeWindow.h"

#include <fstream>
#include <iterator>
#include <utility>

namespace brisolant::test {

void FakeView::AppendListFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Failure(FailureCode::DataFileRead, path);
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    listFile = path;
    listFileBytes = content.size();
    std::string line;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r') {
            list.push_back(line);
            line.clear();
            if (i + 1 < content.size() && content[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += content[i];
        }
    }
    if (!line.empty()) {
        list.push_back(line);
    }
}

std::string FakePort::Input() {
    if (failNext == "Input") {
        failNext.clear();
        throw Failure(FailureCode::PortReadFailed, "test");
    }
    if (!open) {
        throw Failure(FailureCode::PortNotOpen);
    }
    return std::exchange(pending, {});
}

void FakePort::Output(std::string_view text) {
    if (failNext == "Output" || !open) {
        failNext.clear();
        throw Failure(open ? FailureCode::PortWriteFailed : FailureCode::PortNotOpen);
    }
    sent += text;
}

void FakePort::DiscardInput() {
    if (failNext == "DiscardInput" || !open) {
        failNext.clear();
        throw Failure(open ? FailureCode::PortReadFailed : FailureCode::PortNotOpen);
    }
    pending.clear();
    ++discards;
}

void FakePort::SetPortOpen(bool value) {
    if (value && (refuseOpen || failNext == "Open")) {
        failNext.clear();
        throw Failure(refusal, device + ": test refuses");
    }
    if (value) {
        ++opens;
    } else {
        ++closes;
    }
    open = value;
}

}  // namespace brisolant::test
