#pragma once

#include <QObject>
#include <functional>
#include <stop_token>

namespace corvanta::async {

// Runs `action` on `context`'s thread, through its event queue, once a stop is requested on
// `token`. The action never runs inside request_stop() itself, so a coroutine that resumes
// because of it cannot tear down the callback that is running. Destroy this object before
// `context`; a stop requested after that does nothing.
class QueuedStopCallback {
public:
    QueuedStopCallback(std::stop_token token, QObject* context, std::function<void()> action);

    QueuedStopCallback(const QueuedStopCallback&) = delete;
    QueuedStopCallback& operator=(const QueuedStopCallback&) = delete;

private:
    struct Post {
        QObject* context;
        std::function<void()> action;
        void operator()() noexcept;
    };
    std::stop_callback<Post> callback_;
};

}  // namespace corvanta::async
