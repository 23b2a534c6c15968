#pragma once
// Marker base of every window that relabels itself from the language file.

namespace qt40 {

class CResourceManager {
public:
    virtual ~CResourceManager() = default;
};

}  // namespace qt40
