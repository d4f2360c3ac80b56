#pragma once

#include <QCoroTask>
#include <exception>
#include <optional>

namespace corvanta::testing {

namespace detail {

// QCoro::waitFor never returns when the awaited task throws; this wrapper catches first.
template <class T>
QCoro::Task<> capture(QCoro::Task<T> task, std::optional<T>* result, std::exception_ptr* error) {
    try {
        *result = co_await std::move(task);
    } catch (...) {
        *error = std::current_exception();
    }
}

inline QCoro::Task<> captureVoid(QCoro::Task<> task, std::exception_ptr* error) {
    try {
        co_await std::move(task);
    } catch (...) {
        *error = std::current_exception();
    }
}

}  // namespace detail

// Runs the event loop until `task` ends; returns its value or rethrows its exception.
template <class T>
T await(QCoro::Task<T>&& task) {
    std::optional<T> result;
    std::exception_ptr error;
    QCoro::waitFor(detail::capture(std::move(task), &result, &error));
    if (error) {
        std::rethrow_exception(error);
    }
    return std::move(*result);
}

inline void await(QCoro::Task<>&& task) {
    std::exception_ptr error;
    QCoro::waitFor(detail::captureVoid(std::move(task), &error));
    if (error) {
        std::rethrow_exception(error);
    }
}

// The exception `task` ends with, or nullptr when it succeeds.
template <class T>
std::exception_ptr failureOf(QCoro::Task<T>&& task) {
    try {
        await(std::move(task));
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

}  // namespace corvanta::testing
