#include "resources/CXmlReaderWriter.h"

#include <fmt/printf.h>

#include <fstream>
#include <iterator>
#include <pugixml.hpp>
#include <vector>

#include "resources/CPrivateException.h"

namespace qt40 {

namespace {

// 1-based line of a byte offset, and that line's text without its line end.
std::pair<long, std::string> LineAt(const std::string& content, std::ptrdiff_t offset) {
    if (offset < 0) return {0, {}};
    const auto at = std::min(static_cast<std::size_t>(offset), content.size());
    long line = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i < at; ++i) {
        if (content[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    if (end > start && content[end - 1] == '\r') --end;
    return {line, content.substr(start, end - start)};
}

[[noreturn]] void ThrowParseError(long line, const std::string& source, const std::string& reason) {
    throw CPrivateException(
        fmt::sprintf("line: %d\nsrc text: %s\nreason: %s", line, source, reason));
}

// All text below a node, in document order, like the typed value of an
// untyped element.
void CollectText(const pugi::xml_node& node, std::string& out) {
    for (const auto& child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            out += child.value();
        } else if (child.type() == pugi::node_element) {
            CollectText(child, out);
        }
    }
}

}  // namespace

CXmlReaderWriter::CXmlReaderWriter() : document_(std::make_unique<pugi::xml_document>()) {}

CXmlReaderWriter::~CXmlReaderWriter() = default;

void CXmlReaderWriter::CreateEmpty(const std::string& rootName) {
    auto document = std::make_unique<pugi::xml_document>();
    auto declaration = document->append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    document->append_child(rootName.c_str());
    document_ = std::move(document);
}

void CXmlReaderWriter::Load(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) ThrowParseError(0, {}, "The file cannot be opened.");
    const std::string content((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    if (file.bad()) ThrowParseError(0, {}, "The file cannot be read.");

    auto document = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result result =
        document->load_buffer(content.data(), content.size(), pugi::parse_default);
    if (!result) {
        const auto [line, source] = LineAt(content, result.offset);
        ThrowParseError(line, source, result.description());
    }
    if (!document->document_element()) ThrowParseError(0, {}, "The document has no element.");
    document_ = std::move(document);
}

std::string CXmlReaderWriter::SelectText(const std::string& xpath) const {
    pugi::xpath_node found;
    try {
        found = document_->document_element().select_node(xpath.c_str());
    } catch (const pugi::xpath_exception& e) {
        throw CPrivateException(std::string("invalid XPath expression: ") + e.what());
    }
    if (found.attribute()) return found.attribute().value();
    if (!found.node()) throw CPrivateException("no node matches " + xpath);
    std::string text;
    if (found.node().type() == pugi::node_element) {
        CollectText(found.node(), text);
    } else {
        text = found.node().value();
    }
    return text;
}

}  // namespace qt40
