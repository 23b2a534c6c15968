#include "files/ConfigDifferences.h"

#include <string_view>

namespace qt40 {
namespace {

bool IsPackedText(std::string FileConfig::*member) {
    return member == &FileConfig::tag || member == &FileConfig::descriptor ||
           member == &FileConfig::message;
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

bool SameStoredText(std::string FileConfig::*member, const std::string& a, const std::string& b) {
    if (!IsPackedText(member)) return a == b;
    return WithoutTrailingBlanks(a) == WithoutTrailingBlanks(b);
}

bool SameFieldText(Field field, const std::string& a, const std::string& b) {
    // A unit caption has no member and compares exactly.
    return SameStoredText(FieldMember(field), a, b);
}

std::vector<StoredValue> StoredDifferences(const FileConfig& file, const FileConfig& device) {
    std::vector<StoredValue> differing;
    for (const StoredValue& v : StoredValues()) {
        if (!SameStoredText(v.value, file.*v.value, device.*v.value)) differing.push_back(v);
    }
    return differing;
}

}  // namespace qt40
