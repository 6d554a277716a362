#pragma once
// A value or one complete message text: how every fallible operation reports failure.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace qeld {

// The failure side of a Result: one finished, human-readable message.
struct Error {
    std::string message;
};

inline Error fail(std::string message) { return Error{std::move(message)}; }

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const std::string& error() const { return std::get<1>(state_).message; }
    std::string take_error() { return std::move(std::get<1>(state_).message); }

private:
    std::variant<T, Error> state_;
};

// Nothing on success, or one message.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error.message)) {}

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return *error_; }
    std::string take_error() { return std::move(*error_); }

private:
    std::optional<std::string> error_;
};

using Status = Result<void>;

}  // namespace qeld

// Passes a failure of a nested call up unchanged.
#define QELD_TRY(expr)                                   \
    do {                                                 \
        auto qeld_try_result_ = (expr);                  \
        if (!qeld_try_result_.ok())                      \
            return ::qeld::Error{qeld_try_result_.take_error()}; \
    } while (false)
