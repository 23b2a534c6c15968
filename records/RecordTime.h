#pragma once
// The time a record is made, in the computer's local time with its offset
// from UTC, so a sheet read in another time zone (or after a change of
// daylight saving time) still says when it was made.

#include <ctime>
#include <string>

namespace qt40 {

// "YYYY-MM-DD HH:MM +hh:mm" of `when` (now by default), local time.
std::string LocalTimestamp(std::time_t when = std::time(nullptr));

// The offset of local time from UTC at `when`, as "+hh:mm" or "-hh:mm".
std::string UtcOffsetText(std::time_t when);

}  // namespace qt40
