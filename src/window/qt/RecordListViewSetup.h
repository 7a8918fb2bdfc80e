#pragma once

class QListView;

namespace brisolant {

// Sets up a list view for RecordListModel: every row is one line of the fixed-pitch font, so the
// record fields line up in columns and the view asks the model only for the rows it shows (the
// height of one row serves for all, even in a file of a million lines).
void ConfigureRecordListView(QListView& view);

}  // namespace brisolant
