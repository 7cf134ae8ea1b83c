#pragma once

// Long work (reading or writing a project, making a report, exporting, publishing) tells how
// far it has got through a Progress now and then: often enough for a window to stay responsive,
// seldom enough to cost nothing beside the work itself. The user's Cancel reaches the work as
// the Progress answering false; the work then stops and leaves everything as it found it.

#include <cstdint>
#include <functional>

namespace orm {

// done of total units of work (bytes, items, sections, pages, files). Within one piece of work
// done never goes down, and finished work ends with done equal to total. False: cancel.
using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Thrown by work that was cancelled, to unwind from deep inside it to where it began. Not a
// std::exception, so that no handler of failures takes it for one.
struct WorkCancelled {};

// Reports to progress, when there is one, and throws WorkCancelled when it says stop.
inline void ReportProgress(const Progress& progress, std::uint64_t done, std::uint64_t total)
{
    if (progress && !progress(done, total))
        throw WorkCancelled{};
}

}  // namespace orm
