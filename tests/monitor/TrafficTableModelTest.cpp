// The traffic table over a small recorder: batches, the bound, the filter.

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "monitor/TrafficTableModel.h"

namespace qt40 {
namespace {

using qt40::ReceiveEnd;

// Command `command` to a long address, answered with response code `code`.
void Record(traffic::ExchangeRecorder& r, std::uint8_t command, std::uint8_t code = 0) {
    const std::vector<std::uint8_t> request{0x82, 0x3F, 0x28, 0, 0, 1, command, 0, 0};
    std::vector<std::uint8_t> answer{0x86, 0x3F, 0x28, 0, 0, 1, command, 2, code, 0, 0};
    r.RequestSent(request, 1);
    r.ReceiveEnded(answer, 5, ReceiveEnd::Answer);
}

std::vector<std::uint64_t> Numbers(const TrafficTableModel& m) {
    std::vector<std::uint64_t> n;
    for (int row = 0; row < m.rowCount(); ++row) n.push_back(m.At(row)->number);
    return n;
}

TEST(TrafficTableModelTest, TakesBatchesAndKeepsNoMoreThanTheRecorder) {
    std::int64_t now = 0;
    traffic::ExchangeRecorder recorder(5, [&] { return now += 1000; });
    TrafficTableModel model(recorder);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 3; ++i) Record(recorder, 3);
    EXPECT_EQ(model.rowCount(), 0);  // nothing until the window looks
    EXPECT_EQ(model.Fetch(), 3);
    EXPECT_EQ(inserted.count(), 1);  // one batch, one insertion
    for (int i = 0; i < 4; ++i) Record(recorder, 2);
    EXPECT_EQ(model.Fetch(), 4);
    EXPECT_EQ(Numbers(model), (std::vector<std::uint64_t>{3, 4, 5, 6, 7}));
    // Far more than the bound at once: the newest stay.
    for (int i = 0; i < 20; ++i) Record(recorder, 48);
    EXPECT_EQ(model.Fetch(), 5);
    EXPECT_EQ(Numbers(model), (std::vector<std::uint64_t>{23, 24, 25, 26, 27}));
    EXPECT_EQ(model.Fetch(), 0);

    // Δt between shown rows, the duration of each, in milliseconds.
    EXPECT_EQ(model.data(model.index(1, TrafficTableModel::kDelta), Qt::DisplayRole), "2.0");
    EXPECT_EQ(model.data(model.index(1, TrafficTableModel::kDuration), Qt::DisplayRole), "1.0");
    EXPECT_EQ(model.data(model.index(0, TrafficTableModel::kDelta), Qt::DisplayRole), "");
}

TEST(TrafficTableModelTest, TheFilterHoldsForWhatComesLaterAndWhatFallsOff) {
    traffic::ExchangeRecorder recorder(6);
    TrafficTableModel model(recorder);
    for (std::uint8_t c : {3, 2, 48, 3, 2, 48}) Record(recorder, c, c == 48 ? 32 : 0);
    model.Fetch();
    model.SetFilter(3, std::nullopt);
    EXPECT_EQ(Numbers(model), (std::vector<std::uint64_t>{1, 4}));
    model.SetFilter(std::nullopt, traffic::ResultClass::Refused);
    EXPECT_EQ(Numbers(model), (std::vector<std::uint64_t>{3, 6}));

    // Four more: 1 … 4 fall off the bound, and with them the refused number 3.
    for (std::uint8_t c : {48, 3, 3, 48}) Record(recorder, c, c == 48 ? 32 : 0);
    model.Fetch();
    EXPECT_EQ(Numbers(model), (std::vector<std::uint64_t>{6, 7, 10}));
    EXPECT_EQ(model.Held(), 6u);
    model.SetFilter(std::nullopt, std::nullopt);
    EXPECT_EQ(Numbers(model), (std::vector<std::uint64_t>{5, 6, 7, 8, 9, 10}));

    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(recorder.Size(), 0u);
    Record(recorder, 3);
    model.Fetch();
    EXPECT_EQ(Numbers(model), (std::vector<std::uint64_t>{11}));
    // The recorded number is shown, whatever was filtered or cleared before.
    EXPECT_EQ(model.data(model.index(0, TrafficTableModel::kNumber), Qt::DisplayRole), "11");

    // Δt says it is between the rows shown while a filter hides some.
    model.SetHeaders({"No.", "Time", "Δt", "A", "C", "N", "R", "S", "D"});
    model.SetFilteredDeltaHeader("Δt shown");
    EXPECT_EQ(model.headerData(TrafficTableModel::kDelta, Qt::Horizontal, Qt::DisplayRole), "Δt");
    model.SetFilter(3, std::nullopt);
    EXPECT_EQ(model.headerData(TrafficTableModel::kDelta, Qt::Horizontal, Qt::DisplayRole),
              "Δt shown");
}

}  // namespace
}  // namespace qt40
