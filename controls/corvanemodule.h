#pragma once

#include "corvane_export.h"
#include "controls/result.h"

#include <QString>

#include <optional>

namespace corvane {

// File procedures the controls share.
class CORVANE_EXPORT CorvaneModule final
{
public:
    // Replaces the file at path with exactly the text in CP932 (no line-end conversion, no
    // terminator). The old file stays whole until the new one is complete. A text with
    // characters CP932 cannot hold is refused and nothing is written; the error names them.
    static Result WriteTextFile(const QString &path, const QString &text);

    // The text of a file: valid UTF-8 (with or without a byte order mark) as UTF-8, anything
    // else as CP932. nullopt and an error when the file cannot be read.
    static std::optional<QString> ReadTextFile(const QString &path, QString *error = nullptr);

    CorvaneModule() = delete;
};

} // namespace corvane
