#pragma once
// A small language file in a temporary folder, loaded into a fresh database.

#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "resources/CResourceDatabase.h"

namespace qt40::test {

inline const char* kTestLanguage = R"(<?xml version="1.0" encoding="utf-8"?>
<root>
  <application>QT40CON</application>
  <filetype>language</filetype>
  <language>Test</language>
  <gui name="145"><text name="0">List caption</text><text name="1199">Take</text><text name="1078">Leave</text></gui>
  <gui name="149"><text name="0">Number caption</text><text name="1">Accept</text><text name="2">Abandon</text></gui>
  <gui name="153"><text name="1">Store</text><text name="2">Drop</text></gui>
  <UIMsg>
    <text name="Message_Box">Box caption</text>
    <text name="Err_Range_Input">Out of range</text>
    <text name="Err_COM">No answer on %s.</text>
    <text name="Err_Tag_Number_overflow">At most %s characters</text>
  </UIMsg>
  <DisplayMsg>
    <text name="Set_Damping_val">Damping in s</text>
    <text name="Set_Upper_Range">Upper range %s .. %s %s</text>
  </DisplayMsg>
  <TitleMsg>
    <text name="Set_Damping_Value_Title">PV Damping</text>
    <text name="Set_Tag_Text_Title">Tag</text>
    <text name="Select_PV_Unit">PV Unit</text>
  </TitleMsg>
</root>
)";

class LanguageFixture {
public:
    LanguageFixture() : database_(std::filesystem::path(dir_.path().toStdString())) {
        std::ofstream(std::filesystem::path(dir_.path().toStdString()) / "Test.lng")
            << kTestLanguage;
        database_.Init();
        database_.Load("Test.lng");
    }
    const CResourceDatabase& Database() const { return database_; }

private:
    QTemporaryDir dir_;
    CResourceDatabase database_;
};

}  // namespace qt40::test
