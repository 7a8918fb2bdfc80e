// Not a Google Benchmark: the flood of bench/database-flood.sh. The real writer keeps COUNT
// records while the database is away, then delivers them once it is back; reports how long the
// database took to commit them all from the start of the second run, the log read back included.
// Writes the same rows as COPY text for psql to load as the yardstick.
//
//   bench_database_flood CONNECTION COUNT FOLDER COPY_FILE

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "common/Clock.h"
#include "store/ThreadedRecordWriter.h"
#include "store/pg/PgDatabaseSession.h"

namespace {

using namespace brisolant;

class NoWakeup : public WriterWakeup {
  public:
    void NewsWaiting() override {}
};

class FixedClock : public Clock {
  public:
    LocalDateTime Now() const override { return {2026, 12, 10, 19, 15, 0}; }
    std::chrono::steady_clock::time_point Steady() const override { return {}; }
};

// A record as a station at full rate makes it: 139 characters and its values.
CentralRecord Parcel(long n) {
    CentralRecord record;
    record.arrivedAt = "2026-12-10 19:15:00+00:00";
    record.device = "1";
    record.length = "12.5";
    record.width = "10.25";
    record.height = "3";
    record.grossWeight = "1.75";
    record.dimWeight = "2.32";
    record.dimFactor = "166";
    record.lengthUnit = "in";
    record.weightUnit = "lb";
    char barcode[32];
    std::snprintf(barcode, sizeof barcode, "PARCEL%012ld", n);
    record.barcode = barcode;
    record.line =
        "2026-12-10,19:15:00,1    ,12.5 in     ,10.25 in    ,3 in        ,1.75 lb     ,"
        "2.32        ,166         ," +
        std::string(barcode);
    return record;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: bench_database_flood CONNECTION COUNT FOLDER COPY_FILE\n";
        return 2;
    }
    const std::string connection = argv[1];
    const long count = std::stol(argv[2]);
    const std::string folder = argv[3];
    {
        std::ofstream copy(argv[4]);
        for (long n = 1; n <= count; ++n) {
            const CentralRecord r = Parcel(n);
            copy << "north\t" << n << '\t' << r.arrivedAt << '\t' << r.device << '\t' << r.length
                 << '\t' << r.width << '\t' << r.height << '\t' << r.grossWeight << '\t'
                 << r.dimWeight << '\t' << r.dimFactor << '\t' << r.lengthUnit << '\t'
                 << r.weightUnit << '\t' << r.barcode << "\t\\N\t" << r.line << '\n';
        }
    }
    PosixFileLayer files;
    FixedClock clock;
    NoWakeup wakeup;
    const auto makeSession = [] { return std::make_unique<PgDatabaseSession>(); };
    // First run: the database is away; the records are written to the data file and kept in
    // the log, a thousand at a time, as a flood on the line leaves them.
    {
        ThreadedRecordWriter writer(files, clock, wakeup, {}, makeSession);
        writer.SetDestination({folder + "/"});
        writer.SetDatabase({"host=" + folder + "/nowhere dbname=depot", "north"});
        writer.Start(folder + "/bench.journal");
        std::size_t written = 0;
        for (long n = 1; n <= count; ++n) {
            CentralRecord record = Parcel(n);
            writer.Submit("LOG-344.txt", record.line, record);
            while (n % 1000 == 0 && written < static_cast<std::size_t>(n)) {
                written += writer.TakeNews().written.size();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        (void)writer.Stop(std::chrono::seconds(3));
    }
    // Second run: the database is back; every record waiting goes, in batches of up to 4,096.
    ThreadedRecordWriter writer(files, clock, wakeup, {}, makeSession);
    writer.SetDestination({folder + "/"});
    const auto start = std::chrono::steady_clock::now();
    writer.SetDatabase({connection, "north"});
    writer.Start(folder + "/bench.journal");
    std::uint64_t delivered = 0;
    std::string trouble;
    while (delivered < static_cast<std::uint64_t>(count)) {
        WriterNews news = writer.TakeNews();
        if (news.database) {
            delivered = news.database->delivered;
            if (news.database->reason && *news.database->reason != trouble) {
                trouble = *news.database->reason;
                std::cerr << "database: " << trouble << "\n";
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    (void)writer.Stop(std::chrono::seconds(3));
    std::printf("delivered %ld waiting records in %.3f s: %.0f records/s\n", count, seconds,
                static_cast<double>(count) / seconds);
    return 0;
}
