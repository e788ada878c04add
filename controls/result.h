#pragma once

#include <QString>

#include <utility>

namespace corvane {

// The outcome of a member that returns its errors to the host: empty error means success.
struct [[nodiscard]] Result {
    QString error;

    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }

    static Result success() { return {}; }
    static Result failure(QString error) { return {std::move(error)}; }
};

} // namespace corvane
