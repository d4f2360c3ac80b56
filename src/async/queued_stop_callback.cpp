#include "async/queued_stop_callback.h"

#include <QMetaObject>

namespace corvanta::async {

QueuedStopCallback::QueuedStopCallback(std::stop_token token, QObject* context,
                                       std::function<void()> action)
    : callback_(std::move(token), Post{context, std::move(action)}) {}

void QueuedStopCallback::Post::operator()() noexcept {
    // Posting is thread-safe; if the context is deleted first, Qt drops the queued call.
    QMetaObject::invokeMethod(context, action, Qt::QueuedConnection);
}

}  // namespace corvanta::async
