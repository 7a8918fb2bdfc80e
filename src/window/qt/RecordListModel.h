#pragma once

#include <QAbstractListModel>
#include <memory>
#include <string>

namespace brisolant {

class LineIndex;

// The lines shown in lstData: the lines of a data file, indexed by their offsets and decoded
// only when shown, followed by lines appended one by one. Built for files of a million lines.
class RecordListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit RecordListModel(QObject* parent = nullptr);
    ~RecordListModel() override;

    // Removes every line and releases the file.
    void Clear();
    // Adds one line at the end (8-bit text).
    void AppendLine(const std::string& line);
    // Adds every line of the file at the end: a line ends at CR or CR LF; a last line without a
    // line end counts. Throws Failure(DataFileRead) when the file cannot be read.
    void AppendFile(const std::string& path);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace brisolant
