#include "support/FakeWindow.h"

#include <utility>

namespace brisolant::test {

void FakeView::AppendListRecord(const WrittenRecord& record) {
    if (!dataMenuChecked) {
        return;
    }
    if (listReading) {
        heldRecords.push_back(record);
    } else if (!(record.path == listFile && record.offset < listFileBytes)) {
        list.push_back(record.line);
    }
}

void FakeView::ShowListLines(DataFileLines lines) {
    const LineIndex& file = *lines.file;
    const std::vector<std::string> read = file.Lines(0, file.size(), file.Widest());
    list.insert(list.end(), read.begin(), read.end());
    listFile = file.path();
    listFileBytes = file.IndexedBytes();
    listReading = false;
    for (const WrittenRecord& record : std::exchange(heldRecords, {})) {
        AppendListRecord(record);
    }
}

std::string FakePort::Input() {
    if (failNext == "Input") {
        failNext.clear();
        throw Failure(FailureCode::PortNotOpen, "test");
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
        throw Failure(FailureCode::PortNotOpen);
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
