// The configuration file reader on arbitrary bytes: no crash, no undefined
// behaviour, and whatever it read writes back as a complete 48-line file
// that reads back to the same values once normalised.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/CFilePropertyReadWrite.h"
#include "files/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qt40;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CFilePropertyReadWrite file;
    file.ReadText(text);

    const auto lines = CFilePropertyReadWrite::BuildLines(file.Values());
    if (lines.size() != CFilePropertyReadWrite::kLineCount) std::abort();

    // Written and read twice, the values no longer change.
    std::string written;
    for (const auto& line : lines) written += line + "\r\n";
    CFilePropertyReadWrite once;
    once.ReadText(written);
    std::string again;
    for (const auto& line : CFilePropertyReadWrite::BuildLines(once.Values())) again += line + "\n";
    CFilePropertyReadWrite twice;
    twice.ReadText(again);
    std::string third;
    for (const auto& line : CFilePropertyReadWrite::BuildLines(twice.Values()))
        third += line + "\r";
    CFilePropertyReadWrite thrice;
    thrice.ReadText(third);
    if (!(thrice.Values() == twice.Values())) std::abort();
    return 0;
}
