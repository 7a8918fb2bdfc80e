#include "recorder/qt/RecorderPlatform.h"

#include <memory>
#include <utility>

#include "common/qt/QtLocale.h"
#include "store/FileLayer.h"
#include "store/pg/PgDatabaseSession.h"

namespace brisolant {

RecorderPlatform::RecorderPlatform()
    : writer_(PosixFiles(), clock_, wakeup_, {},
              [] { return std::make_unique<PgDatabaseSession>(); }) {}

RecorderPlatform::~RecorderPlatform() {
    Disconnect();
    ClosePort();
}

void RecorderPlatform::Disconnect() {
    comm_.SetEventHandler(nullptr);
    comm_.SetFailureHandler(nullptr);
    portWatch_.SetHandler(nullptr);
    wakeup_.SetHandler(nullptr);
}

RecorderServices RecorderPlatform::Services(const Views& views, SettingsPlace place,
                                            std::string journalPath) {
    return RecorderServices{views.scans,      views.line, comm_,
                            portWatch_,       views.pump, views.prompt,
                            views.messages,   clock_,     SystemLocaleFormat(),
                            std::move(place), writer_,    std::move(journalPath)};
}

void RecorderPlatform::Connect(Recorder& recorder, StepRunner run) {
    comm_.SetEventHandler([&recorder, run] { run([&recorder] { recorder.Comm_OnComm(); }); });
    comm_.SetFailureHandler([&recorder, run](const Failure& failure) {
        run([&recorder, &failure] { recorder.PortFailed(failure); });
    });
    portWatch_.SetHandler([&recorder, run] { run([&recorder] { recorder.PortMayBeBack(); }); });
    wakeup_.SetHandler([&recorder, run] { run([&recorder] { recorder.TakeWriterNews(); }); });
}

void RecorderPlatform::ClosePort() {
    portWatch_.Stop();
    // What the station sent before the end is framed and handed on first: whole scans are
    // written or kept, not dropped with the port.
    comm_.TakeRemainingInput();
    comm_.SetPortOpen(false);
}

}  // namespace brisolant
