#pragma once

// Helpers to drive coroutines and the event loop from a test body on the main thread.
// QCoro::waitFor never returns when the task throws, so these wrap the task in a catching
// coroutine and spin the event loop themselves, with a generous safety limit.
#include <QCoreApplication>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QTimer>

#include "support/qt_printers.h"

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace corvanta::testing {

// Turns the event loop, sleeping while nothing happens, until `done` holds or `limit` passes.
// (The processEvents overload that takes a time ignores WaitForMoreEvents and would spin, taking
// a core away from the search threads under test.)
inline bool processEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    QTimer wakeUp;
    wakeUp.start(5);
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limit.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline void processEventsFor(std::chrono::milliseconds duration) {
    QElapsedTimer timer;
    timer.start();
    processEventsUntil([&] { return timer.elapsed() >= duration.count(); }, duration * 2);
}

template <typename T>
T runSync(QCoro::Task<T> task, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    // Shared so a coroutine that outlives a timed-out wait still writes to live memory.
    struct Slot {
        std::optional<T> result;
        std::exception_ptr error;
        bool done = false;
    };
    auto slot = std::make_shared<Slot>();
    auto wrapper = [](QCoro::Task<T> inner, std::shared_ptr<Slot> out) -> QCoro::Task<void> {
        try {
            out->result.emplace(co_await std::move(inner));
        } catch (...) {
            out->error = std::current_exception();
        }
        out->done = true;
    };
    auto running = wrapper(std::move(task), slot);
    if (!processEventsUntil([&] { return slot->done; }, limit)) {
        throw std::runtime_error("coroutine did not finish in time");
    }
    if (slot->error) {
        std::rethrow_exception(slot->error);
    }
    return std::move(*slot->result);
}

inline void runSync(QCoro::Task<void> task,
                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    auto wrapped = [](QCoro::Task<void> inner) -> QCoro::Task<bool> {
        co_await std::move(inner);
        co_return true;
    };
    runSync(wrapped(std::move(task)), limit);
}

}  // namespace corvanta::testing
