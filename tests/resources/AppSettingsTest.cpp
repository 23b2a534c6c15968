#include "resources/CAppSettings.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

namespace qt40 {
namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    QString Ini() const { return dir_.filePath("settings.ini"); }
    QTemporaryDir dir_;
};

TEST_F(AppSettingsTest, FirstStartFollowsTheLocaleAndWritesNothing) {
    CAppSettings japanese(Ini());
    japanese.Load(true);
    EXPECT_EQ(japanese.displayLanguage, "Japanese.lng");
    EXPECT_EQ(japanese.displayLanguageName, "Japanese");
    EXPECT_EQ(japanese.comPort, "COM1");
    EXPECT_EQ(japanese.pollingAddr, "0");

    CAppSettings other(Ini());
    other.Load(false);
    EXPECT_EQ(other.displayLanguage, "English.lng");
    EXPECT_EQ(other.displayLanguageName, "English");

    EXPECT_FALSE(QFileInfo::exists(Ini()));
}

TEST_F(AppSettingsTest, SavedValuesComeBackUnderTheirNames) {
    CAppSettings settings(Ini());
    settings.Load(false);
    settings.displayLanguage = "Japanese.lng";
    settings.displayLanguageName = "Japanese";
    settings.comPort = "ttyUSB0";
    settings.pollingAddr = "15";
    EXPECT_TRUE(settings.Save());

    QSettings raw(Ini(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Settings/DisplayLanguage").toString(), "Japanese.lng");
    EXPECT_EQ(raw.value("Settings/DisplayLanguageName").toString(), "Japanese");
    EXPECT_EQ(raw.value("Settings/COMPort").toString(), "ttyUSB0");
    EXPECT_EQ(raw.value("Settings/PollingAddr").toString(), "15");

    CAppSettings again(Ini());
    again.Load(false);  // a stored language wins over the locale
    EXPECT_EQ(again.displayLanguage, "Japanese.lng");
    EXPECT_EQ(again.displayLanguageName, "Japanese");
    EXPECT_EQ(again.comPort, "ttyUSB0");
    EXPECT_EQ(again.pollingAddr, "15");
}

TEST_F(AppSettingsTest, StoredFileWithoutNameLeavesTheNameEmpty) {
    {
        QSettings raw(Ini(), QSettings::IniFormat);
        raw.setValue("Settings/DisplayLanguage", "Custom.lng");
    }
    CAppSettings settings(Ini());
    settings.Load(true);
    EXPECT_EQ(settings.displayLanguage, "Custom.lng");
    EXPECT_EQ(settings.displayLanguageName, "");
    EXPECT_EQ(settings.comPort, "COM1");
}

TEST_F(AppSettingsTest, UnwritableStoreReportsFailure) {
    CAppSettings settings(dir_.filePath("missing-dir/sub/settings.ini"));
    settings.Load(false);
    QFile blocker(dir_.filePath("missing-dir"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    blocker.close();
    EXPECT_FALSE(settings.Save());
}

}  // namespace
}  // namespace qt40
