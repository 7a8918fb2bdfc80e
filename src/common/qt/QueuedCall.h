#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <utility>

namespace brisolant {

// A wake for DetachedCalls: from any thread, runs `handler` on the thread `target` lives on, as a
// queued call. A call still queued when the target goes is dropped with it.
inline std::function<void()> QueuedCall(QObject* target, std::function<void()> handler) {
    return [target, handler = std::move(handler)] {
        QMetaObject::invokeMethod(target, handler, Qt::QueuedConnection);
    };
}

}  // namespace brisolant
