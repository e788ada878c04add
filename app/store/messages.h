#pragma once

#include <QString>

namespace qm::sqlite {
class Error;
}

namespace qm::store {

// Why a dictionary file could not be opened or used, in words for the user.
QString describeFailure(const sqlite::Error &error);

// Why a file could not be written, from the system's error number.
QString describeWriteFailure(int errorCode);

} // namespace qm::store
