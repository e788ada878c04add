#pragma once

#include <QString>

namespace qm::sqlite {
class Error;
}

namespace qm::store {

// Why a dictionary file could not be opened or used, in a few words: the same as
// app::describeFailure() (app/common/storemessages.h), which defines it, for the exchange of
// entries while its reasons carry words rather than the failure. Link qm_storewords.
QString describeFailure(const sqlite::Error &error);

} // namespace qm::store
