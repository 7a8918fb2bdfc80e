#include <gtest/gtest.h>

#include <set>

#include "common/Failure.h"

namespace brisolant {
namespace {

TEST(FailureTest, StatusTextIsNumberBlankDescription) {
    Failure failure(FailureCode::DataFileOpen, "/data/LOG-241.txt: Permission denied");
    EXPECT_EQ(StatusText(failure),
              "Status: 121 Cannot open the data file: /data/LOG-241.txt: Permission denied");
}

TEST(FailureTest, EveryCodeHasItsOwnDescription) {
    const FailureCode codes[] = {FailureCode::ScanLineEndMissing,
                                 FailureCode::ScanTooLong,
                                 FailureCode::NotANumber,
                                 FailureCode::LocaleCannotReadNumbers,
                                 FailureCode::DivisionByZero,
                                 FailureCode::NumberOverflow,
                                 FailureCode::DataFileOpen,
                                 FailureCode::DataFileWrite,
                                 FailureCode::DataFileBadName,
                                 FailureCode::DataFileRead,
                                 FailureCode::CounterOverflow,
                                 FailureCode::PortNotOpen,
                                 FailureCode::PortOpenFailed,
                                 FailureCode::PortBadNumber,
                                 FailureCode::PortBadSettings,
                                 FailureCode::PortWriteFailed,
                                 FailureCode::PortVanished,
                                 FailureCode::ProfileReadFailed,
                                 FailureCode::ProfileWriteFailed,
                                 FailureCode::SettingsNotSaved,
                                 FailureCode::SettingTypeMismatch,
                                 FailureCode::SettingOverflow,
                                 FailureCode::PortPermissionDenied,
                                 FailureCode::PortDeviceMissing,
                                 FailureCode::PortInUse,
                                 FailureCode::PortLinkStale,
                                 FailureCode::ScanCutOff,
                                 FailureCode::ScanTailDropped,
                                 FailureCode::HeldInputOverflow,
                                 FailureCode::DataFileNotRegular,
                                 FailureCode::ScansWaiting,
                                 FailureCode::JournalWrite,
                                 FailureCode::JournalFull,
                                 FailureCode::JournalDamaged,
                                 FailureCode::JournalRead,
                                 FailureCode::JournalMark,
                                 FailureCode::JournalDoneMark,
                                 FailureCode::DatabaseWaiting,
                                 FailureCode::DatabaseOutboxWrite,
                                 FailureCode::DatabaseOutboxRead,
                                 FailureCode::DatabaseOutboxDamaged,
                                 FailureCode::DataFolderNotAnswering,
                                 FailureCode::SettingsFileMissing,
                                 FailureCode::MetricsFileWrite,
                                 FailureCode::MetricsFolderMissing};
    std::set<std::string_view> seen;
    for (FailureCode code : codes) {
        EXPECT_TRUE(seen.insert(FailureDescription(code)).second) << static_cast<int>(code);
    }
}

}  // namespace
}  // namespace brisolant
