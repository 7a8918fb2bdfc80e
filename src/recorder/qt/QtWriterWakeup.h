#pragma once

#include <QObject>
#include <functional>

#include "store/ThreadedRecordWriter.h"

namespace brisolant {

// Hands the writer's word that news waits to the thread this object lives on, as a queued call.
class QtWriterWakeup : public QObject, public WriterWakeup {
    Q_OBJECT

  public:
    explicit QtWriterWakeup(QObject* parent = nullptr) : QObject(parent) {}

    // Runs on this object's thread for each word from the writer.
    void SetHandler(std::function<void()> handler) { handler_ = std::move(handler); }

    void NewsWaiting() override;

  private:
    std::function<void()> handler_;
};

}  // namespace brisolant
