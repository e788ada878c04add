#pragma once

#include "app/store/care/backup.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/care/writetarget.h"
#include "app/store/sets/databasemodule.h"

#include "platform/sqlite/likepattern.h"

#include <QString>

#include <functional>
#include <vector>

namespace qm::desktop {
class Prompter;
}

// The words of the store's failures: the one place where a failure the store reports as a kind
// and its facts becomes what the windows and the command line say.
namespace qm::app {

// The failure as a sentence for the user, naming the file where one is to blame. An engine
// error the store did not word gives the engine's own text.
QString errorText(const sqlite::Error &error);

// Why a dictionary file could not be opened or used, in a few words (most failures by their
// engine code; those the store tells apart by their own words).
QString describeFailure(const sqlite::Error &error);

// The sentence when the store worded the failure and it is no engine kind of its own (a
// read-only file, a pattern, a cancel), otherwise describeFailure().
QString failureReason(const sqlite::Error &error);

// Why a body of this many bytes is refused: its size and the largest the program handles.
QString describeTooLargeBody(qint64 bytes);

// Why a keyword pattern cannot be read.
QString describePatternProblem(sqlite::LikePattern::Problem problem);

// Why a file could not be written, from the system's error number.
QString describeWriteFailure(int errorCode);

// A refusal in words for the user, naming the file (and the real file behind a link).
QString describeTargetRefusal(const store::ResolvedTarget &target);

// The keyword a salvage gives every entry it saved incomplete, so that a lookup finds them all.
QString incompleteMark();

// What the user can do about a failed backup; empty for None.
QString describeBackupRemedy(store::BackupRemedy remedy);

// The failures of opening a set, of its set file or of adding to it, told the user in one
// message each (the failures of one opening together, one a line), as the store hands them on.
void tellSetFailures(desktop::Prompter &prompter, const std::vector<sqlite::Error> &failures);
// A report that tells them through `prompter`, for OpenSet.
store::FailureReport setFailuresTo(desktop::Prompter &prompter);
// What the program gives its DatabaseModule: failures told through `prompter`, and the names of
// the default set and the user dictionary.
store::SetHost storeHost(desktop::Prompter &prompter);

} // namespace qm::app
