#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

namespace vantorel::console {

// Runs `work` on the thread that owns `owner` and returns once it has run: a direct call
// on that thread, a blocking queued invocation from any other (the owner's event loop must
// be running, and a pending invocation is dropped, releasing the caller, if the owner is
// destroyed first).
template <typename Work>
void RunOnOwnerThread(QObject& owner, Work&& work) {
    if (QThread::currentThread() == owner.thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(&owner, std::forward<Work>(work), Qt::BlockingQueuedConnection);
}

}  // namespace vantorel::console
