#pragma once
// The time a record is made, in the computer's local time.

#include <ctime>
#include <string>

namespace qt40 {

// "YYYY-MM-DD HH:MM" of `when` (now by default), local time.
std::string LocalTimestamp(std::time_t when = std::time(nullptr));

}  // namespace qt40
