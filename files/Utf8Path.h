#pragma once
// File names travel through the program as UTF-8 text (Qt's file dialogs, the
// command line, messages). They become file-system paths only here, never
// through the C locale: on Windows a narrow string would be read in the ANSI
// code page, and a folder such as C:\Users\山田 would not open.

#include <filesystem>
#include <string>
#include <string_view>

namespace qt40 {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace qt40
