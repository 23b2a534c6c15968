#include "records/RecordTexts.h"

#include "resources/MessageFormat.h"

namespace qt40 {

RecordTexts::RecordTexts(Lookup lookup, GuiLookup gui)
    : lookup_(std::move(lookup)), gui_(std::move(gui)) {}

const std::vector<std::pair<std::string_view, std::string_view>>& RecordTexts::BuiltIn() {
    static const std::vector<std::pair<std::string_view, std::string_view>> texts = {
        {"Rec_Report_Title", "Configuration Report"},
        {"Rec_Program", "Program"},
        {"Rec_Created", "Created"},
        {"Rec_Port", "Port"},
        {"Rec_Item", "Item"},
        {"Rec_Value", "Value"},
        {"Rec_Unit", "Unit"},
        {"Rec_Group_Identification", "Identification"},
        {"Rec_Group_Sensor", "Sensor"},
        {"Rec_Group_PV", "PV and Range"},
        {"Rec_Group_Output", "Output and Alarm"},
        {"Rec_Group_Calibration", "Calibration Data"},
        {"Rec_Group_Status", "Additional Status"},
        {"Rec_Tag", "Tag"},
        {"Rec_Descriptor", "Descriptor"},
        {"Rec_Message", "Message"},
        {"Rec_Date", "Date"},
        {"Rec_Manufacturer", "Manufacturer"},
        {"Rec_Device_Type", "Device Type"},
        {"Rec_Device_Id", "Device ID"},
        {"Rec_Final_Assembly", "Final Assembly Number"},
        {"Rec_Polling_Address", "Polling Address"},
        {"Rec_Preambles", "Number of Preambles"},
        {"Rec_Universal_Rev", "Universal Command Revision"},
        {"Rec_Transmitter_Rev", "Transmitter-Specific Revision"},
        {"Rec_Hardware_Rev", "Hardware Revision"},
        {"Rec_Software_Rev", "Software Revision"},
        {"Rec_Sensor_Type", "Sensor Type"},
        {"Rec_Measurement_Type", "Measurement Type"},
        {"Rec_Sensor_Wires", "Sensor Wires"},
        {"Rec_Sensor_Serial", "Sensor Serial Number"},
        {"Rec_Sensor_Upper", "Sensor Upper Range"},
        {"Rec_Sensor_Lower", "Sensor Lower Range"},
        {"Rec_Burnout", "Burnout Detection"},
        {"Rec_CJC_Mode", "CJC Mode"},
        {"Rec_Term_Unit", "Terminal Temperature Unit"},
        {"Rec_Constant_CJC", "Constant CJC Value"},
        {"Rec_Terminal_Temp", "Terminal Temperature"},
        {"Rec_PV_Unit", "PV Unit"},
        {"Rec_PV_Upper", "PV Upper Range"},
        {"Rec_PV_Lower", "PV Lower Range"},
        {"Rec_PV_Upper_Limit", "PV Upper Sensor Limit"},
        {"Rec_PV_Lower_Limit", "PV Lower Sensor Limit"},
        {"Rec_PV_Min_Span", "PV Minimum Span"},
        {"Rec_PV_Damping", "PV Damping"},
        {"Rec_PV_Drift", "PV Drift Alarm"},
        {"Rec_Transfer", "Transfer Function"},
        {"Rec_PV_Value", "PV"},
        {"Rec_Loop_Current", "Loop Current"},
        {"Rec_AO_Alarm_Mode", "AO Alarm Mode"},
        {"Rec_AO_Alarm_High", "AO Alarm High Value"},
        {"Rec_AO_Alarm_Low", "AO Alarm Low Value"},
        {"Rec_AO_Sat_High", "AO Saturation High Value"},
        {"Rec_AO_Sat_Low", "AO Saturation Low Value"},
        {"Rec_Lead_Wire", "Lead Wire Resistance"},
        {"Rec_Trim_Zero_Point", "Sensor %d Zero Point"},
        {"Rec_Trim_Zero_Value", "Sensor %d Zero Value"},
        {"Rec_Trim_Gain", "Sensor %d Gain"},
        {"Rec_RTD_A", "Calibrated RTD Coefficient A"},
        {"Rec_RTD_B", "Calibrated RTD Coefficient B"},
        {"Rec_RTD_C", "Calibrated RTD Coefficient C"},
        {"Rec_RTD_R0", "Calibrated RTD R0"},
        {"Rec_RTD_Lower", "Calibrated RTD Lower Limit"},
        {"Rec_RTD_Upper", "Calibrated RTD Upper Limit"},
        {"Rec_Status_Bytes", "Status Bytes"},
        {"Rec_Status_None", "No additional status bit is set."},
        {"Rec_Status_Set", "Set"},
        {"Rec_Status_Unlabelled", "byte %d bit %d: (no label)"},
        {"Rec_Not_Read", "Not read: %s"},
        {"Rec_Page_Of", "Page %d of %d"},
        {"Rec_Page_Mark", "%s, Tag %s, Device ID %s"},
        {"Rec_Unit_Seconds", "s"},
        {"Rec_Loop_Title", "Loop Check Sheet"},
        {"Rec_Technician", "Technician"},
        {"Rec_Meter", "Reference Meter ID"},
        {"Rec_Note", "Note"},
        {"Rec_Tolerance", "Tolerance"},
        {"Rec_Tolerance_Value", "±%s %% of span (4 to 20 mA)"},
        {"Rec_As_Found", "As Found"},
        {"Rec_As_Left", "As Left"},
        {"Rec_Col_Point", "Point (%)"},
        {"Rec_Col_Target", "Output (mA)"},
        {"Rec_Col_Measured", "Measured (mA)"},
        {"Rec_Col_Error", "Error (% of span)"},
        {"Rec_Col_Result", "Result"},
        {"Rec_Pass", "PASS"},
        {"Rec_Fail", "FAIL"},
        {"Rec_Incomplete", "INCOMPLETE"},
        {"Rec_Run_Result", "Result %s"},
        {"Rec_Signature", "Signature"},
        {"Rec_Checked_By", "Checked by"},
        {"Rec_Loop_Check", "Loop Check"},
        {"Rec_Points", "Points (%)"},
        {"Rec_Start_As_Found", "Start As Found"},
        {"Rec_Start_As_Left", "Start As Left"},
        {"Rec_Enter", "Enter"},
        {"Rec_Stop", "Stop Check"},
        {"Rec_Save", "Save…"},
        {"Rec_Preview", "Preview…"},
        {"Rec_Print", "Print…"},
        {"Rec_Close", "Close"},
        {"Rec_Ready", "Enter the points and the tolerance, then start the check."},
        {"Rec_Setting", "Setting the output to %s mA…"},
        {"Rec_Point_Prompt",
         "Point %d of %d: the output is fixed at %s mA.\nEnter the current the meter reads (0 to "
         "25 mA)."},
        {"Rec_Released", "The loop is released: the output follows the PV again."},
        {"Rec_Releasing", "Releasing the loop…"},
        {"Rec_Not_Released",
         "The loop could not be released. Check that the output follows the PV."},
        {"Rec_Check_Refused", "The device refused the fixed current; the check stopped."},
        {"Rec_PV_Range", "PV Range"},
        {"Rec_PV_Range_Value", "%s to %s %s"},
        {"Rec_Points_Of_Span", "Per cent of the 4 to 20 mA output span: the same as per cent of the PV range only with a linear transfer function"},
        {"Rec_Run_Stop", "%s stopped"},
        {"Rec_Stop_Stopped", "Stopped by the technician before the last point"},
        {"Rec_Stop_Interrupted", "Interrupted before the last point (Ctrl+C, SIGTERM or a closed terminal)"},
        {"Rec_Stop_Input_Ended", "The readings ended before the last point"},
        {"Rec_Stop_Refused", "The device refused a level (response code %d)"},
        {"Rec_Stop_Exchange_Lost", "An exchange with the device was lost"},
        {"Rec_Stop_Connection_Closed", "The connection to the device was closed"},
        {"Rec_Run_Loop", "Loop after %s"},
        {"Rec_Dac_Trim", "DAC Trim"},
        {"Rec_Dac_Trim_Point", "DAC Trim at %s mA"},
        {"Rec_Dac_Trim_Measured", "Stored with %s mA measured"},
        {"Rec_Dac_Trim_Stopped", "Stopped before both points were trimmed"},
        {"Rec_Dac_Trim_None", "Not done"},
        {"Rec_Tolerance_Locked", "The tolerance is settled once a point is measured: it judges every point of the sheet."},
        {"Rec_Redo_Point", "Redo Point"},
        {"Rec_Redo_Tip", "Select a measured row, then Redo Point: the output goes back to that point and its reading is entered again."},
        {"Err_Loop_Points", "The points must be 1 to 21 numbers from 0 to 100 %%, separated by commas."},
        {"Err_Loop_Tolerance", "The tolerance must be a number greater than 0 and at most 10 %% of span."},
        {"Err_Record_Save", "The record could not be saved.\n%s"},
        {"Err_Report_Not_Connected",
         "The report is read from the device as it is now, and no device is connected. "
         "Connect the device, then choose Report… again."},
        {"Rec_File_Filter", "PDF Files (*.pdf)|*.pdf|CSV Files (*.csv)|*.csv||"},
    };
    return texts;
}

std::string RecordTexts::Text(const std::string& key) const {
    if (lookup_) {
        std::string text = lookup_(key);
        if (!text.empty()) return text;
    }
    for (const auto& [k, english] : BuiltIn()) {
        if (k == key) return std::string(english);
    }
    return key;
}

std::string RecordTexts::Format(const std::string& key, const MessageArgs& args) const {
    return FormatMessageText(Text(key), args);
}

std::string RecordTexts::Gui(int dialog, int control, const std::string& builtIn) const {
    if (gui_) {
        std::string text = gui_(dialog, control);
        if (!text.empty()) return text;
    }
    return builtIn;
}

}  // namespace qt40
