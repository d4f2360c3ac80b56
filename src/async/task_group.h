#pragma once

#include <QCoroTask>

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

#include <coroutine>
#include <vector>

namespace corvanta::async {

// A group of child coroutines on the main thread. Children get a stop token that is stopped when
// the group's parent token is stopped or cancelAll() is called. Results are taken with next() in
// the order the children finish. The group's state outlives the group object until every child
// has ended, so a child never touches freed memory.
template <typename T>
class TaskGroup {
public:
    using Child = std::function<QCoro::Task<T>(std::stop_token)>;

    explicit TaskGroup(std::stop_token parent = {})
        : state_(std::make_shared<State>()), parentLink_(std::move(parent), ParentStop{state_}) {}
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;
    ~TaskGroup() { cancelAll(); }

    // Starts a child at once; it runs until its first suspension before spawn returns.
    void spawn(Child child) {
        ++state_->running;
        runChild(state_, std::move(child), state_->stop.get_token());
    }

    // The next result in finishing order; nothing once no child is running and every result has
    // been taken. Rethrows a child's exception.
    QCoro::Task<std::optional<T>> next() {
        auto state = state_;
        while (state->results.empty() && state->running > 0) {
            co_await Wake{state.get()};
        }
        if (state->results.empty()) {
            co_return std::nullopt;
        }
        Outcome outcome = std::move(state->results.front());
        state->results.pop_front();
        if (outcome.error) {
            std::rethrow_exception(outcome.error);
        }
        co_return std::move(outcome.value);
    }

    // Waits until every child has ended; results not yet taken stay available to next().
    QCoro::Task<void> waitAll() {
        auto state = state_;
        while (state->running > 0) {
            co_await Wake{state.get()};
        }
    }

    void cancelAll() { state_->stop.request_stop(); }
    bool isCancelled() const { return state_->stop.stop_requested(); }
    std::stop_token token() const { return state_->stop.get_token(); }
    int running() const { return state_->running; }

private:
    struct Outcome {
        std::optional<T> value;
        std::exception_ptr error;
    };
    struct State {
        std::stop_source stop;
        int running = 0;
        std::deque<Outcome> results;
        std::vector<std::coroutine_handle<>> waiters;

        // Resumes the waiters inline. (A queued signal connection is no good here: QCoro's
        // signal awaiter can be invoked again by an emission queued before it disconnected.)
        void notify() {
            auto waiting = std::exchange(waiters, {});
            for (auto handle : waiting) {
                handle.resume();
            }
        }
    };
    // Holds a plain pointer: the waiting coroutine keeps the state alive, and GCC 12 is not to
    // be trusted with non-trivial temporaries in a co_await expression.
    struct Wake {
        State* state;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) { state->waiters.push_back(handle); }
        void await_resume() const noexcept {}
    };
    struct ParentStop {
        std::shared_ptr<State> state;
        void operator()() const { state->stop.request_stop(); }
    };

    static QCoro::Task<void> runChild(std::shared_ptr<State> state, Child child,
                                      std::stop_token token) {
        Outcome outcome;
        try {
            outcome.value.emplace(co_await child(std::move(token)));
        } catch (...) {
            outcome.error = std::current_exception();
        }
        state->results.push_back(std::move(outcome));
        --state->running;
        state->notify();
    }

    std::shared_ptr<State> state_;
    std::stop_callback<ParentStop> parentLink_;
};

}  // namespace corvanta::async
