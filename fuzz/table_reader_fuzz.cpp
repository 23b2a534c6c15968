// The custom table readers on arbitrary files, with every question answered
// from the input: the records never overflow and the special curve's X and Y
// lists stay paired.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>

#include "fuzz/FuzzPrompts.h"
#include "tables/CFileOperations.h"
#include "tables/TableRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qt40;
    if (size < 2) return 0;
    const std::uint8_t kind = data[0] % 3;
    const std::span<const std::uint8_t> choices(data + 1, 1);
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    fuzz::FuzzPrompts prompts(choices);
    CFileOperations reader(prompts);
    if (kind < 2) {
        reader.SetUp(kind == 0 ? TableReaderSetup::CustomTc() : TableReaderSetup::CustomRtd());
        if (reader.ParseCustomTable(text) == TableReadOutcome::Completed) {
            const TableReadResult& read = reader.Result();
            if (read.count > kCustomTableCapacity) std::abort();
            if (read.xTexts.size() != static_cast<std::size_t>(read.count)) std::abort();
            auto edit = std::make_unique<CustomTableEdit>();
            CustomTableImage image;
            CustomTableSummary summary;
            TakeOverCustomTableRead(read, image, *edit, summary);
            for (int i = 0; i < edit->size; ++i) {
                if (edit->valueTexts[static_cast<std::size_t>(i)].size() > kTableValueTextCapacity)
                    std::abort();
            }
            if (edit->minimumText.size() > kTableStepTextCapacity ||
                edit->stepText.size() > kTableStepTextCapacity)
                std::abort();
            ValidateCustomTable(*edit, kind == 0 ? CustomTableKind::Tc : CustomTableKind::Rtd,
                                prompts);
        }
    } else {
        reader.SetUp(TableReaderSetup::SpecialCurve());
        if (reader.ParseSpecialCurve(text) == TableReadOutcome::Completed) {
            const TableReadResult& read = reader.Result();
            if (read.count > kSpecialCurveCapacity) std::abort();
            if (read.xTexts.size() != read.yTexts.size()) std::abort();
            auto edit = std::make_unique<SpecialCurveEdit>();
            SpecialCurveSummary summary;
            TakeOverSpecialCurveRead(read, *edit, summary);
            ValidateSpecialCurve(*edit, prompts);
        }
    }
    return 0;
}
