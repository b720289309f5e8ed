// What a job tells its front end besides progress: its status lines, that it has started its work
// and how it ended. Everything is called on the job's own thread, in this order: JobStarted, the
// lines, JobEnded. A front end must neither block nor reorder the calls.
#pragma once

#include "base/StatusLines.h"

#include <string>

namespace hookmeter {

enum class JobOutcome {
    Done,    // the job ran to its end and reported no failure
    Failed,  // it reported at least one line framed by "!!!"; the reports may be missing
    Stopped, // Stop ended it: no report was written, the earlier ones are as they were
};

struct TJobEnd {
    JobOutcome Outcome = JobOutcome::Done;
    std::string FirstFailure; // the first "!!!" line, when the job reported one
    // When that line is about a file that could not be opened: the file's path as given and the
    // system's reason ("No such file or directory"); both empty when no reason is known.
    std::string FailedFile;
    std::string FailureReason;
};

class TJobListener : public TStatusLines {
public:
    // Before the job's first status line.
    virtual void JobStarted() {}
    // After its last one, "Profile data processing complete.".
    virtual void JobEnded(const TJobEnd& end) { (void)end; }
};

} // namespace hookmeter
