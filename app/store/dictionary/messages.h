#pragma once

#include "platform/sqlite/likepattern.h"

#include <QString>

namespace qm::sqlite {
class Error;
}

namespace qm::store {

// Why a dictionary file could not be opened or used, in words for the user.
QString describeFailure(const sqlite::Error &error);

// Why a body of this many bytes is refused: its size and the largest the program handles.
QString describeTooLargeBody(qint64 bytes);

// Why a keyword pattern cannot be read.
QString describePatternProblem(sqlite::LikePattern::Problem problem);

// Why a file could not be written, from the system's error number.
QString describeWriteFailure(int errorCode);

} // namespace qm::store
