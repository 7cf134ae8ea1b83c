#pragma once

// The project as a static web site: plain UTF-8 files that work from disk, from any web server
// and from a zip, with no external resources. The pages are made from the same model, report
// generator and organigram layout as the program's own documents, so the site says what the
// program says.
//
// The site is written into a staging folder inside the target first and moved into place only
// when every file of it was written, so a failed or cancelled publication leaves the earlier one
// as it was. A target folder that holds anything but an earlier publication is refused, and a
// republication replaces only the files the earlier one listed in its marker file.

#include <cstddef>
#include <string>

#include "core/io/progress.h"

namespace orm {

class TTreeList;

struct PublishOptions {
    std::string Date;  // the date shown on the start page (UTF-8); empty: today
};


enum class PublishResult { Done, Cancelled, Refused, Failed };

struct PublishOutcome {
    PublishResult Result = PublishResult::Done;
    std::string Message;     // UTF-8, for the user; empty when done
    std::size_t Files = 0;   // files written
};

// The name of the marker file an earlier publication leaves in its folder.
inline constexpr const char* kSiteMarker = ".ormelit-site";

// progress is told how far the writing has got; when it says stop, the publication is
// Cancelled.
PublishOutcome PublishSite(TTreeList& project, const std::string& folder,
                           const PublishOptions& options = {}, const Progress& progress = {});

// Pages larger than this are split into parts (reports, long lists of bindings).
inline constexpr std::size_t kPageBudget = 2 * 1024 * 1024;
// A matrix with more rows or columns than this is shown as a list of bound pairs by row.
inline constexpr int kMatrixTableLimit = 200;

}  // namespace orm
