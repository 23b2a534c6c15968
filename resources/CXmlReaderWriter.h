#pragma once
// A loaded XML document and its document element, with single-node XPath
// lookups. A failed load keeps the document held before.

#include <filesystem>
#include <memory>
#include <string>

namespace pugi {
class xml_document;
}

namespace qt40 {

class CXmlReaderWriter {
public:
    CXmlReaderWriter();
    ~CXmlReaderWriter();
    CXmlReaderWriter(const CXmlReaderWriter&) = delete;
    CXmlReaderWriter& operator=(const CXmlReaderWriter&) = delete;

    // Replaces the document by one holding only the declaration and an empty
    // element `rootName`.
    void CreateEmpty(const std::string& rootName);
    // Throws CPrivateException "line: %d\nsrc text: %s\nreason: %s" when the
    // file cannot be read or parsed; the held document is then unchanged.
    void Load(const std::filesystem::path& path);
    // The text of the one node `xpath` selects (relative to the document
    // element; absolute paths work too). Throws CPrivateException when the
    // expression is invalid or selects nothing.
    std::string SelectText(const std::string& xpath) const;

private:
    std::unique_ptr<pugi::xml_document> document_;
};

}  // namespace qt40
