// The metrics file for the site's monitoring, as the real program writes it with and without a
// window, read by Prometheus's own check and by a real node_exporter's textfile collector; taken
// away at a clean end and left behind by a kill, which the next run tells.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/PosixFile.h"
#include "e2e/ChildProcess.h"
#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WaitUntil;

constexpr const char* kPromtool = "/usr/bin/promtool";
constexpr const char* kNodeExporter = "/usr/bin/prometheus-node-exporter";

// Runs a shell command to its end: its exit code and its output.
std::pair<int, std::string> RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return {-1, "cannot run " + command};
    }
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// A port on the loopback address that nothing listens on just now.
int FreeLoopbackPort() {
    const FileDescriptor probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(probe.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

// GET path from the loopback port; empty when nothing answers.
std::string HttpGet(int port, const std::string& path) {
    const FileDescriptor connection(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(connection.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
        0) {
        return {};
    }
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    std::size_t written = 0;
    if (WriteAll(connection.Get(), request, written) != 0) {
        return {};
    }
    std::string response;
    char buffer[8192];
    for (ssize_t got; (got = ::read(connection.Get(), buffer, sizeof buffer)) > 0;) {
        response.append(buffer, static_cast<std::size_t>(got));
    }
    return response;
}

// Debian's node_exporter with its textfile collector alone, on a loopback port of its own.
class NodeExporter {
  public:
    // Started over the folder; empty, or why not.
    std::string Start(const std::string& folder) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = FreeLoopbackPort();
            process_ = std::make_unique<ChildProcess>();
            if (port_ == 0 ||
                !process_->Start(
                    {kNodeExporter, "--collector.disable-defaults", "--collector.textfile",
                     "--collector.textfile.directory=" + folder,
                     "--web.listen-address=127.0.0.1:" + std::to_string(port_)},
                    EnvironmentWith({}), log_.file("node-exporter.log"))) {
                continue;
            }
            // Another program may have taken the port meanwhile: it then ends, and a new port
            // is tried.
            if (WaitUntil([&] { return !process_->IsRunning() || !Metrics().empty(); }) &&
                process_->IsRunning()) {
                return {};
            }
        }
        return "node_exporter did not answer: " + ReadFile(log_.file("node-exporter.log"));
    }
    std::string Metrics() const { return HttpGet(port_, "/metrics"); }

  private:
    test::TempDir log_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

class MetricsTest : public ::testing::Test {
  protected:
    bool Prepare(bool headless) {
        program_ = PrepareProgram({}, whyNot_);
        if (!program_) {
            return false;
        }
        if (headless) {
            program_->AddArgument("--headless");
        }
        program_->AddArgument("--metrics-file");
        program_->AddArgument(File());
        return true;
    }
    std::string File() const { return textfiles_.file("brisolant-orvane.prom"); }
    bool FileHas(const std::string& series) {
        return WaitUntil([&] { return ReadFile(File()).find(series) != std::string::npos; });
    }
    void SendParcels(long count) {
        for (long n = 1; n <= count; ++n) {
            ASSERT_TRUE(program_->Line().Write(Scan(ParcelBarcode(n))));
        }
        ASSERT_EQ(program_->WaitForLines(static_cast<std::size_t>(count)).size(),
                  static_cast<std::size_t>(count))
            << program_->Log();
    }
    void StopProgram() {
        ASSERT_EQ(::kill(program_->Pid(), SIGTERM), 0);
        ASSERT_TRUE(WaitUntil([&] { return !program_->IsRunning(); }));
        EXPECT_EQ(program_->ExitCode(), 0) << program_->Log();
    }

    test::TempDir textfiles_;
    std::string whyNot_;
    std::unique_ptr<ProgramUnderTest> program_;
};

// The station's figures reach the site's Prometheus through node_exporter: the file passes
// promtool's check, and a real exporter over the folder shows the station's series; the port's
// loss and the end are in the file too.
TEST_F(MetricsTest, TheProgramWithoutAWindowKeepsAFileThatNodeExporterServes) {
    if (!Prepare(true)) {
        GTEST_SKIP() << whyNot_;
    }
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    SendParcels(2);
    ASSERT_TRUE(FileHas("brisolant_scans_recorded_total{station=\"Orvane\"} 2\n"))
        << ReadFile(File()) << program_->Log();
    EXPECT_TRUE(FileHas("brisolant_port_open{station=\"Orvane\"} 1\n")) << ReadFile(File());
    EXPECT_FALSE(fs::exists(File() + ".tmp"));

    if (fs::exists(kPromtool)) {
        const auto [status, output] =
            RunCommand(std::string(kPromtool) + " check metrics < " + File());
        EXPECT_EQ(status, 0) << output << ReadFile(File());
    }
    if (fs::exists(kNodeExporter)) {
        NodeExporter exporter;
        const std::string whyNot = exporter.Start(textfiles_.path().string());
        ASSERT_EQ(whyNot, "");
        const std::string served = exporter.Metrics();
        for (const char* series :
             {"brisolant_scans_recorded_total{station=\"Orvane\"} 2\n",
              "brisolant_build_info{station=\"Orvane\",version=\"1.0.17\"} 1\n",
              "# TYPE brisolant_scans_waiting gauge\n"}) {
            EXPECT_NE(served.find(series), std::string::npos) << series << "\n" << served;
        }
        EXPECT_NE(served.find("node_textfile_scrape_error 0"), std::string::npos) << served;
    }

    program_->Line().Close();
    EXPECT_TRUE(FileHas("brisolant_port_open{station=\"Orvane\"} 0\n")) << ReadFile(File());
    StopProgram();
    EXPECT_FALSE(fs::exists(File())) << ReadFile(File());
    if (!fs::exists(kPromtool) || !fs::exists(kNodeExporter)) {
        GTEST_SKIP() << "checked without promtool or node_exporter (Debian's prometheus and "
                        "prometheus-node-exporter)";
    }
}

// The window keeps the same file, and takes it away when it ends.
TEST_F(MetricsTest, TheWindowKeepsTheSameFile) {
    if (!Prepare(false)) {
        GTEST_SKIP() << whyNot_;
    }
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    SendParcels(1);
    EXPECT_TRUE(FileHas("brisolant_scans_recorded_total{station=\"Orvane\"} 1\n"))
        << ReadFile(File()) << program_->Log();
    StopProgram();
    EXPECT_FALSE(fs::exists(File())) << ReadFile(File());
}

// A station stopped on purpose leaves no file to alert on; a killed one leaves its last, and its
// next run says that the run before it did not end cleanly, which a restart after a clean end
// does not. The series carry the name the station's records carry in the site's database.
TEST_F(MetricsTest, AKilledProgramLeavesItsFileAndTheNextRunSaysSo) {
    if (!Prepare(true)) {
        GTEST_SKIP() << whyNot_;
    }
    std::ofstream(program_->SettingsFile(), std::ios::app) << "[DATABASE]\r\nStation=dock8\r\n";
    const auto runs = [&](const char* clean) {
        ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
        EXPECT_TRUE(
            FileHas(std::string("brisolant_previous_run_clean{station=\"dock8\"} ") + clean + "\n"))
            << ReadFile(File()) << program_->Log();
    };
    runs("1");
    program_->Kill();
    EXPECT_NE(ReadFile(File()).find("brisolant_port_open{station=\"dock8\"} 1\n"),
              std::string::npos)
        << ReadFile(File());
    runs("0");
    StopProgram();
    EXPECT_FALSE(fs::exists(File()));
    runs("1");
    StopProgram();
}

}  // namespace
}  // namespace brisolant::e2e
