#include "monitor/CDisplaySignal.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "monitor/CTemperature.h"
#include "resources/CResourceDatabase.h"
#include "tests/monitor/MonitorTestApp.h"
#include "widgets/CLblColor.h"

namespace qt40 {
namespace {

const QColor kGreen = CTemperature::Green();
const QColor kLight = CTemperature::LightGreen();
const QColor kRed = CTemperature::Red();

class DisplaySignalTest : public ::testing::Test {
protected:
    void SetUp() override {
        resources_.Init();
        bar_.Initialise();
    }
    QColor Color(int id) const { return bar_.IndicatorColor(id); }

    // Before any widget member.
    QApplication& app_ = MonitorTestApp();
    QTemporaryDir dir_;
    CResourceDatabase resources_{dir_.path().toStdString()};
    CDisplaySignal bar_{resources_};
};

TEST_F(DisplaySignalTest, HeartbeatAlternatesAtEveryRefresh) {
    EXPECT_EQ(Color(CDisplaySignal::kHeartbeat), CDisplaySignal::Neutral());
    const std::vector<QColor> expected{kGreen, kLight, kGreen, kLight};
    for (const QColor& color : expected) {
        bar_.DeviceStatusRefresh(0);
        EXPECT_EQ(Color(CDisplaySignal::kHeartbeat), color);
    }
}

TEST_F(DisplaySignalTest, FailureTurnsTmeRedUntilTheNextRefresh) {
    bar_.MarkFailure();
    EXPECT_EQ(Color(CDisplaySignal::kFailure), kRed);
    bar_.DeviceStatusRefresh(0);
    EXPECT_EQ(Color(CDisplaySignal::kFailure), CDisplaySignal::Neutral());
}

struct BitRow {
    int controlId;
    std::uint8_t mask;
    bool greenWhenClear;
};

TEST_F(DisplaySignalTest, EachDeviceBitDrivesItsIndicator) {
    const std::vector<BitRow> rows{{1038, 0x80, false}, {1031, 0x40, false}, {1032, 0x20, false},
                                   {1034, 0x08, false}, {1035, 0x04, true},  {1036, 0x02, true},
                                   {1037, 0x01, true}};
    for (const BitRow& row : rows) {
        bar_.DeviceStatusRefresh(row.mask);
        for (const BitRow& other : rows) {
            const QColor clear = other.greenWhenClear ? kGreen : CDisplaySignal::Neutral();
            EXPECT_EQ(Color(other.controlId), other.controlId == row.controlId ? kRed : clear)
                << "status " << int(row.mask) << ", indicator " << other.controlId;
        }
    }
    bar_.DeviceStatusRefresh(0xFF);
    for (const BitRow& row : rows) EXPECT_EQ(Color(row.controlId), kRed) << row.controlId;
}

TEST_F(DisplaySignalTest, BitFourAndTheLinkFlagsChangeNothing) {
    bar_.DeviceStatusRefresh(0x10);
    for (int id : {1038, 1031, 1032, 1034}) EXPECT_EQ(Color(id), CDisplaySignal::Neutral()) << id;
    for (int id : {1035, 1036, 1037}) EXPECT_EQ(Color(id), kGreen) << id;
    for (int id : {1024, 1025, 1026, 1028, 1029}) {
        EXPECT_EQ(Color(id), CDisplaySignal::Neutral()) << id;
    }
    EXPECT_EQ(bar_.Label(1027), nullptr);
    EXPECT_EQ(bar_.Label(1442), nullptr);
}

TEST_F(DisplaySignalTest, LooksAndRelabelling) {
    EXPECT_EQ(bar_.Label(1191)->BackColor(), CDisplaySignal::GroupBack());
    EXPECT_EQ(bar_.Label(1191)->TextColor(), QColor(Qt::white));
    EXPECT_EQ(bar_.Label(CDisplaySignal::kName)->BackColor(), CDisplaySignal::NameBack());
    EXPECT_EQ(bar_.Label(CDisplaySignal::kName)->text(), "QT40\nConfigurator\nMonitor");
    EXPECT_TRUE(bar_.Label(CDisplaySignal::kName)->font().bold());

    std::ofstream(std::filesystem::path(dir_.path().toStdString()) / "t.lng")
        << "<?xml version=\"1.0\"?><root><application>QT40CON</application>"
           "<filetype>language</filetype><language>T</language><gui name=\"147\">"
           "<text name=\"1021\">Device</text><text name=\"1030\"></text></gui></root>";
    resources_.Load("t.lng");
    bar_.Show(true);
    EXPECT_TRUE(bar_.isVisible());
    EXPECT_EQ(bar_.Label(1021)->text(), "Device");
    EXPECT_EQ(bar_.Label(1030)->text(), "TME");
}

TEST_F(DisplaySignalTest, OfflineGreysEveryIndicatorUntilTheNextRefresh) {
    const std::vector<int> indicators{1023, 1024, 1025, 1026, 1028, 1029, 1030,
                                      1038, 1031, 1032, 1034, 1035, 1036, 1037};
    bar_.DeviceStatusRefresh(0xEF);
    bar_.MarkFailure();
    bar_.ShowOffline();
    EXPECT_FALSE(bar_.Live());
    for (int id : indicators) {
        EXPECT_EQ(Color(id), CDisplaySignal::Neutral()) << id;
        EXPECT_EQ(bar_.Label(id)->TextColor(), CDisplaySignal::OfflineText()) << id;
    }
    // The group labels keep their look.
    EXPECT_EQ(Color(1191), CDisplaySignal::GroupBack());
    EXPECT_EQ(bar_.Label(1191)->TextColor(), QColor(Qt::white));

    bar_.DeviceStatusRefresh(0x08);
    EXPECT_TRUE(bar_.Live());
    EXPECT_EQ(Color(1034), kRed);
    for (int id : indicators) EXPECT_EQ(bar_.Label(id)->TextColor(), QColor(Qt::black)) << id;
}

}  // namespace
}  // namespace qt40
