#pragma once

#include <string>

// Creates a new database file from an SQL script. The file appears complete or not at all, and an
// existing file is never replaced: the script runs on a temporary file that is then linked into place.
// The new file is readable by its owner only: it holds the roster.
// Returns an empty text on success, else what went wrong. Used by the build's own tool and the tests.
std::string createDraftFile(const std::string& path, const std::string& script);
