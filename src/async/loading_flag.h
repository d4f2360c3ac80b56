#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <utility>

namespace corvanta::async {

// The "is loading" flag of an object whose loads are coroutines: up while its newest load runs.
// A load holds a Load for its length, and the flag falls when the newest Load ends, however its
// coroutine ends (returns, throws or leaves early). Every change is reported through the
// callback given at construction, the owner's NOTIFY signal.
//
// The flag is a member of its owner, and a load may outlive the owner while it is suspended:
// then its Load does nothing, and abandoned() tells the resumed coroutine to leave the owner
// alone. The owner's end also stops the newest load's token. restart() begins a load that
// replaces the one still running (a page showing only the newest): the older one is stopped and
// abandoned, and leaves the flag to the newer.
//
// Main thread only.
class LoadingFlag {
    struct State {
        explicit State(std::function<void()> onChange) : changed(std::move(onChange)) {}

        std::function<void()> changed;
        bool isLoading = false;
        std::uint64_t newest = 0;
        std::stop_source newestStop;

        void set(bool loading) {
            if (isLoading != loading) {
                isLoading = loading;
                changed();
            }
        }
    };

public:
    class Load {
    public:
        Load(Load&& other) noexcept = default;
        Load& operator=(Load&&) = delete;
        ~Load() {
            if (const auto state = state_.lock(); state && state->newest == id_) {
                state->set(false);
            }
        }

        // Stopped by restart() and by the end of the owner.
        std::stop_token token() const { return stop_.get_token(); }
        // The owner is gone or a newer load replaced this one: the coroutine must not touch
        // the owner any more.
        bool abandoned() const { return state_.expired() || stop_.stop_requested(); }

    private:
        friend class LoadingFlag;
        Load(std::weak_ptr<State> state, std::uint64_t id, std::stop_source stop)
            : state_(std::move(state)), id_(id), stop_(std::move(stop)) {}

        std::weak_ptr<State> state_;
        std::uint64_t id_;
        std::stop_source stop_;
    };

    explicit LoadingFlag(std::function<void()> changed)
        : state_(std::make_shared<State>(std::move(changed))) {}
    ~LoadingFlag() { state_->newestStop.request_stop(); }

    LoadingFlag(const LoadingFlag&) = delete;
    LoadingFlag& operator=(const LoadingFlag&) = delete;

    bool isLoading() const { return state_->isLoading; }

    // A load beside any still running; the flag rises.
    [[nodiscard]] Load begin() {
        state_->newestStop = std::stop_source();
        state_->set(true);
        return Load(state_, ++state_->newest, state_->newestStop);
    }

    // A load that replaces the one still running, which is stopped and abandoned.
    [[nodiscard]] Load restart() {
        state_->newestStop.request_stop();
        return begin();
    }

private:
    std::shared_ptr<State> state_;
};

}  // namespace corvanta::async
