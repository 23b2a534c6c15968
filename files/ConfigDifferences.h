#pragma once
// Which texts of a file and a device say different things: the rule every
// comparison of the two shares (the pages' "Compare", the command line's
// and the fleet's reports).

#include <string>
#include <vector>

#include "files/ConfigFields.h"
#include "files/FileConfig.h"

namespace qt40 {

// Whether two texts of a field say the same. The device pads a tag,
// descriptor or message with blanks to its length, so these compare without
// trailing blanks; everything else compares exactly.
bool SameFieldText(Field field, const std::string& a, const std::string& b);
// The same rule for a value of a configuration file.
bool SameStoredText(std::string FileConfig::*member, const std::string& a, const std::string& b);
// The values of StoredValues() whose texts differ, by SameFieldText's rule
// (a tag, descriptor or message without its padding blanks).
std::vector<StoredValue> StoredDifferences(const FileConfig& file, const FileConfig& device);

}  // namespace qt40
