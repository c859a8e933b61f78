// Why a directory listing failed, from the system's error number: a failure is not an absence.
// Each platform classifies its own numbers.
#pragma once

enum class ListingFailure {
    ABSENT,         // no directory there (missing, no directory, a name no path can hold)
    NOT_LISTED,     // a directory the user may not list: exact names may still reach into it
    OUT_OF_MEMORY,  // the run ends as out of memory
    FAILED,         // no descriptor or handle left, an I/O error...: the run ends with the number
};

ListingFailure ClassifyListingFailure(unsigned long error);

// Ends the run for a listing that failed (OUT_OF_MEMORY or FAILED): std::bad_alloc or a
// CFileException with the error number.
[[noreturn]] void RaiseListingFailure(unsigned long error);
