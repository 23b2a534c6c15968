#include "resources/MessageCatalog.h"

#include <algorithm>

namespace qt40 {

namespace {

constexpr ArgType I = ArgType::Integer;
constexpr ArgType T = ArgType::Text;
constexpr TextUse F = TextUse::Formatted;
constexpr TextUse V = TextUse::Verbatim;

std::vector<MessageKeyInfo> BuildKeys() {
    std::vector<MessageKeyInfo> keys = {
        // Message boxes. Numbers that callers show with a fixed format
        // ("%.2f" of a span, "%4.3f" of a table value) arrive as texts.
        {"UIMsg", "Apllication_Close", F, {}},
        {"UIMsg", "Confr_DAC_Init_Data", F, {}},
        {"UIMsg", "Confr_Download_CustomRTD", F, {}},
        {"UIMsg", "Confr_Download_CustomTC", F, {}},
        {"UIMsg", "Confr_Download_Linearization", F, {}},
        {"UIMsg", "Confr_Execute_Diagnostics", F, {}},
        {"UIMsg", "Confr_Reset_Device", F, {}},
        {"UIMsg", "Confr_Reset_SensorCal_Data", F, {}},
        {"UIMsg", "Confr_Search_Address", F, {I, T, T}},  // found polling address, tag, device ID
        {"UIMsg", "Err_CMD", F, {}},
        {"UIMsg", "Err_COM", F, {T}},  // port name
        {"UIMsg", "Err_Calibration_Value_Invalid", F, {}},
        // (row, value text, row, lower bound, upper bound, unit)
        {"UIMsg", "Err_CustomTable_Data_Bound", F, {I, T, I, I, I, T}},
        {"UIMsg", "Err_CustomTable_Data_Bound2", F, {I, T, I, I, I, T}},
        // (row, value text, unit, previous row, previous value text, unit)
        {"UIMsg", "Err_Custom_Table_Data", F, {I, T, T, I, T, T}},
        {"UIMsg", "Err_Date_Invalid", F, {}},
        {"UIMsg", "Err_Device_Not_Configurable", F, {T}},  // device type name
        {"UIMsg", "Err_Not_Device", F, {T}},               // port name
        {"UIMsg", "Err_Port_Missing", F, {T}},             // device path
        {"UIMsg", "Err_Port_Denied", F, {T, T, T}},        // device path, group, group
        {"UIMsg", "Err_Port_Busy", F, {T}},                // device path
        // HART-IP: the endpoint URL (the host alone for a name not found) first.
        {"UIMsg", "Err_HartIp_Url", F, {T}},
        {"UIMsg", "Err_HartIp_Host_Not_Found", F, {T}},
        {"UIMsg", "Err_HartIp_Refused", F, {T}},
        {"UIMsg", "Err_HartIp_No_Connection", F, {T, I}},  // ms waited
        {"UIMsg", "Err_HartIp_Lost", F, {T}},
        {"UIMsg", "Err_HartIp_Session_Too_Few_Bytes", F, {T}},
        {"UIMsg", "Err_HartIp_Session_Busy", F, {T}},
        {"UIMsg", "Err_HartIp_Session_Exists", F, {T}},
        {"UIMsg", "Err_HartIp_Session_Version", F, {T}},
        {"UIMsg", "Err_HartIp_Session_Refused", F, {T, I}},  // status
        {"UIMsg", "Err_HartIp_No_Answer", F, {T, I}},        // ms waited
        {"UIMsg", "Err_HartIp_Session_Closed", F, {T}},
        {"UIMsg", "Err_HartIp_Primary_Unavailable", F, {T}},
        {"UIMsg", "Err_HartIp_Service_Unavailable", F, {T}},
        {"UIMsg", "Err_HartIp_Nak", F, {T, I}},  // status
        {"UIMsg", "Err_HartIp_Bad_Answer", F, {T}},
        {"UIMsg", "Err_HartIp_Network", F, {T, T}},  // the system's words
        {"UIMsg", "Err_HartIp_Url_Why", F, {T, T}},  // what is wrong with it
        {"UIMsg", "Err_HartIp_Session_Host_Type", F, {T}},
        {"UIMsg", "Err_HartIp_Secured_Only", F, {T}},
        {"UIMsg", "Err_HartIp_Silent_To_Version_1", F, {T, I}},  // ms waited
        {"UIMsg", "Err_HartIp_Other_Version", F, {T, I}},        // version answered
        // Port name, seconds waited, the last answer's code and meaning.
        {"UIMsg", "Err_Device_Busy", F, {T, I, T}},
        {"UIMsg", "Err_Delayed_Response_Dead", F, {T}},
        {"UIMsg", "Err_Setting_HartIp_Timeout", F, {T, I}},  // the stored text, ms used
        {"UIMsg", "Err_Num_Inalid_char", F, {}},
        {"UIMsg", "Err_Range_Input", F, {}},
        {"UIMsg", "Err_Span", F, {T, T}},  // minimum span ("%.2f"), unit name
        // (row, X text, previous row, previous X text)
        {"UIMsg", "Err_Special_Table_Data", F, {I, T, I, T}},
        // (row, text, lower bound, upper bound)
        {"UIMsg", "Err_Special_Table_Data_Bound_X", F, {I, T, I, I}},
        {"UIMsg", "Err_Special_Table_Data_Bound_Y", F, {I, T, I, I}},
        {"UIMsg", "Err_Special_Table_Not_Defined", F, {}},
        // (maximum + 1, table name, maximum, maximum)
        {"UIMsg", "Err_TableSize", F, {I, T, I, I}},
        {"UIMsg", "Err_CustomTable_Empty", F, {}},  // a table without points
        {"UIMsg", "Err_Table_Text_Too_Long", F, {I, I}},  // file line number, capacity
        {"UIMsg", "Err_Coefficient_Too_Long", F, {T, I}},    // coefficient name, most characters
        {"UIMsg", "Err_Special_Table_No_Comma", F, {I, T}},  // file line number, the line
        {"UIMsg", "Err_Table_Device_Size", F, {I, I}},       // size the device reports, capacity
        // A download stopped at a row: (row caption) and (row caption, value text)
        {"UIMsg", "Err_Download_Empty_Value", F, {T}},
        {"UIMsg", "Err_Download_Invalid_Value", F, {T, T}},
        {"UIMsg", "Err_Table_Not_Defined", F, {T}},  // "TC" or "RTD"
        {"UIMsg", "Err_Tag_Inalid_char", F, {}},
        {"UIMsg", "Err_Tag_Number_overflow", F, {T}},  // length limit text
        {"UIMsg", "Err_Temp_Min", F, {T}},             // minimum text
        {"UIMsg", "Err_Temp_Step", F, {T}},            // step text
        {"UIMsg", "Err_Trim_Mode_Not_Set", F, {}},
        {"UIMsg", "Err_WireResist_Calibrated", F, {T}},  // computed resistance ("%.6lf")
        {"UIMsg", "Confr_Leave_Fixed_Current", F, {T}},  // fixed level in mA ("%4.3f")
        // Values the device cannot hold: a character of a packed text; a
        // download stopped at it (row caption, value, character); a date
        // outside the years the device counts (row caption, date).
        {"UIMsg", "Err_Packed_Char", F, {T}},
        {"UIMsg", "Err_Download_Invalid_Char", F, {T, T, T}},
        {"UIMsg", "Err_Date_Not_Storable", F, {T, T}},
        {"UIMsg", "File_Filter", V, {}},  // "Description|pattern|...||"
        {"UIMsg", "Message_Box", V, {}},
        {"UIMsg", "RTD_Table_Name", V, {}},
        {"UIMsg", "RTD_Table_X_Name", V, {}},
        {"UIMsg", "RTD_Table_Y_Name", V, {}},
        {"UIMsg", "RTD_Table_Y_Unit", V, {}},
        {"UIMsg", "SC_Table_Name", V, {}},
        {"UIMsg", "SC_Table_X_Name", V, {}},
        {"UIMsg", "SC_Table_Y_Name", V, {}},
        {"UIMsg", "SC_Table_Y_Unit", V, {}},
        {"UIMsg", "Sensor_Type_Error_RTD", F, {}},
        {"UIMsg", "Sensor_Type_Error_TC", F, {}},
        {"UIMsg", "TC_Table_Name", V, {}},
        {"UIMsg", "TC_Table_X_Name", V, {}},
        {"UIMsg", "TC_Table_Y_Name", V, {}},
        {"UIMsg", "TC_Table_Y_Unit", V, {}},
        {"UIMsg", "XFER_Error_SC", F, {}},
        // The graphs' right-click menu and its save.
        {"UIMsg", "Err_Graph_Save", F, {T}},  // the file and the system's reason
        {"UIMsg", "Graph_CSV_Filter", V, {}},
        {"UIMsg", "Graph_PNG_Filter", V, {}},
        {"UIMsg", "Graph_Save_CSV", V, {}},
        {"UIMsg", "Graph_Save_PNG", V, {}},
        {"TitleMsg", "Save_Graph_CSV", V, {}},
        {"TitleMsg", "Save_Graph_PNG", V, {}},
        // Records: the configuration report and the loop-check sheet (their
        // captions, the loop-check dialog, its prompts and refusals).
        {"UIMsg", "Rec_Report_Title", V, {}},
        {"UIMsg", "Rec_Program", V, {}},
        {"UIMsg", "Rec_Created", V, {}},
        {"UIMsg", "Rec_Port", V, {}},
        {"UIMsg", "Rec_Item", V, {}},
        {"UIMsg", "Rec_Value", V, {}},
        {"UIMsg", "Rec_Unit", V, {}},
        {"UIMsg", "Rec_Group_Identification", V, {}},
        {"UIMsg", "Rec_Group_Sensor", V, {}},
        {"UIMsg", "Rec_Group_PV", V, {}},
        {"UIMsg", "Rec_Group_Output", V, {}},
        {"UIMsg", "Rec_Group_Calibration", V, {}},
        {"UIMsg", "Rec_Group_Status", V, {}},
        {"UIMsg", "Rec_Tag", V, {}},
        {"UIMsg", "Rec_Descriptor", V, {}},
        {"UIMsg", "Rec_Message", V, {}},
        {"UIMsg", "Rec_Date", V, {}},
        {"UIMsg", "Rec_Manufacturer", V, {}},
        {"UIMsg", "Rec_Device_Type", V, {}},
        {"UIMsg", "Rec_Device_Id", V, {}},
        {"UIMsg", "Rec_Final_Assembly", V, {}},
        {"UIMsg", "Rec_Polling_Address", V, {}},
        {"UIMsg", "Rec_Preambles", V, {}},
        {"UIMsg", "Rec_Universal_Rev", V, {}},
        {"UIMsg", "Rec_Transmitter_Rev", V, {}},
        {"UIMsg", "Rec_Hardware_Rev", V, {}},
        {"UIMsg", "Rec_Software_Rev", V, {}},
        {"UIMsg", "Rec_Sensor_Type", V, {}},
        {"UIMsg", "Rec_Measurement_Type", V, {}},
        {"UIMsg", "Rec_Sensor_Wires", V, {}},
        {"UIMsg", "Rec_Sensor_Serial", V, {}},
        {"UIMsg", "Rec_Sensor_Upper", V, {}},
        {"UIMsg", "Rec_Sensor_Lower", V, {}},
        {"UIMsg", "Rec_Burnout", V, {}},
        {"UIMsg", "Rec_CJC_Mode", V, {}},
        {"UIMsg", "Rec_Term_Unit", V, {}},
        {"UIMsg", "Rec_Constant_CJC", V, {}},
        {"UIMsg", "Rec_Terminal_Temp", V, {}},
        {"UIMsg", "Rec_PV_Unit", V, {}},
        {"UIMsg", "Rec_PV_Upper", V, {}},
        {"UIMsg", "Rec_PV_Lower", V, {}},
        {"UIMsg", "Rec_PV_Upper_Limit", V, {}},
        {"UIMsg", "Rec_PV_Lower_Limit", V, {}},
        {"UIMsg", "Rec_PV_Min_Span", V, {}},
        {"UIMsg", "Rec_PV_Damping", V, {}},
        {"UIMsg", "Rec_PV_Drift", V, {}},
        {"UIMsg", "Rec_Transfer", V, {}},
        {"UIMsg", "Rec_PV_Value", V, {}},
        {"UIMsg", "Rec_Loop_Current", V, {}},
        {"UIMsg", "Rec_AO_Alarm_Mode", V, {}},
        {"UIMsg", "Rec_AO_Alarm_High", V, {}},
        {"UIMsg", "Rec_AO_Alarm_Low", V, {}},
        {"UIMsg", "Rec_AO_Sat_High", V, {}},
        {"UIMsg", "Rec_AO_Sat_Low", V, {}},
        {"UIMsg", "Rec_Lead_Wire", V, {}},
        {"UIMsg", "Rec_Trim_Zero_Point", F, {I}},
        {"UIMsg", "Rec_Trim_Zero_Value", F, {I}},
        {"UIMsg", "Rec_Trim_Gain", F, {I}},
        {"UIMsg", "Rec_RTD_A", V, {}},
        {"UIMsg", "Rec_RTD_B", V, {}},
        {"UIMsg", "Rec_RTD_C", V, {}},
        {"UIMsg", "Rec_RTD_R0", V, {}},
        {"UIMsg", "Rec_RTD_Lower", V, {}},
        {"UIMsg", "Rec_RTD_Upper", V, {}},
        {"UIMsg", "Rec_Status_Bytes", V, {}},
        {"UIMsg", "Rec_Status_None", V, {}},
        {"UIMsg", "Rec_Status_Set", V, {}},
        {"UIMsg", "Rec_Status_Unlabelled", F, {I, I}},
        {"UIMsg", "Rec_Not_Read", F, {T}},
        {"UIMsg", "Rec_Page_Of", F, {I, I}},
        {"UIMsg", "Rec_Page_Mark", F, {T, T, T}},
        {"UIMsg", "Rec_Unit_Seconds", V, {}},
        {"UIMsg", "Rec_Loop_Title", V, {}},
        {"UIMsg", "Rec_Technician", V, {}},
        {"UIMsg", "Rec_Meter", V, {}},
        {"UIMsg", "Rec_Note", V, {}},
        {"UIMsg", "Rec_Tolerance", V, {}},
        {"UIMsg", "Rec_Tolerance_Value", F, {T}},
        {"UIMsg", "Rec_As_Found", V, {}},
        {"UIMsg", "Rec_As_Left", V, {}},
        {"UIMsg", "Rec_Col_Point", V, {}},
        {"UIMsg", "Rec_Col_Target", V, {}},
        {"UIMsg", "Rec_Col_Measured", V, {}},
        {"UIMsg", "Rec_Col_Error", V, {}},
        {"UIMsg", "Rec_Col_Result", V, {}},
        {"UIMsg", "Rec_Pass", V, {}},
        {"UIMsg", "Rec_Fail", V, {}},
        {"UIMsg", "Rec_Incomplete", V, {}},
        {"UIMsg", "Rec_Run_Result", F, {T}},
        {"UIMsg", "Rec_Signature", V, {}},
        {"UIMsg", "Rec_Checked_By", V, {}},
        {"UIMsg", "Rec_Loop_Check", V, {}},
        {"UIMsg", "Rec_Points", V, {}},
        {"UIMsg", "Rec_Start_As_Found", V, {}},
        {"UIMsg", "Rec_Start_As_Left", V, {}},
        {"UIMsg", "Rec_Enter", V, {}},
        {"UIMsg", "Rec_Stop", V, {}},
        {"UIMsg", "Rec_Save", V, {}},
        {"UIMsg", "Rec_Preview", V, {}},
        {"UIMsg", "Rec_Print", V, {}},
        {"UIMsg", "Rec_Close", V, {}},
        {"UIMsg", "Rec_Ready", V, {}},
        {"UIMsg", "Rec_Setting", F, {T}},
        {"UIMsg", "Rec_Point_Prompt", F, {I, I, T}},
        {"UIMsg", "Rec_Released", V, {}},
        {"UIMsg", "Rec_Releasing", V, {}},
        {"UIMsg", "Rec_Not_Released", V, {}},
        {"UIMsg", "Rec_Check_Refused", V, {}},
        {"UIMsg", "Rec_PV_Range", V, {}},
        {"UIMsg", "Rec_PV_Range_Value", F, {T, T, T}},  // lower, upper, unit
        {"UIMsg", "Rec_Points_Of_Span", V, {}},
        {"UIMsg", "Rec_Run_Stop", F, {T}},  // run name
        {"UIMsg", "Rec_Stop_Stopped", V, {}},
        {"UIMsg", "Rec_Stop_Interrupted", V, {}},
        {"UIMsg", "Rec_Stop_Input_Ended", V, {}},
        {"UIMsg", "Rec_Stop_Refused", F, {I}},  // response code
        {"UIMsg", "Rec_Stop_Exchange_Lost", V, {}},
        {"UIMsg", "Rec_Stop_Connection_Closed", V, {}},
        {"UIMsg", "Rec_Run_Loop", F, {T}},  // run name
        {"UIMsg", "Rec_Dac_Trim", V, {}},
        {"UIMsg", "Rec_Dac_Trim_Point", F, {T}},     // 4 or 20
        {"UIMsg", "Rec_Dac_Trim_Measured", F, {T}},  // the reading
        {"UIMsg", "Rec_Dac_Trim_Stopped", V, {}},
        {"UIMsg", "Rec_Dac_Trim_None", V, {}},
        {"UIMsg", "Rec_Tolerance_Locked", V, {}},
        {"UIMsg", "Err_Loop_Points", F, {}},
        {"UIMsg", "Err_Loop_Tolerance", F, {}},
        {"UIMsg", "Err_Record_Save", F, {T}},
        {"UIMsg", "Err_Report_Not_Connected", V, {}},
        {"UIMsg", "Rec_File_Filter", V, {}},
        {"TitleMsg", "Save_Report", V, {}},
        {"TitleMsg", "Save_Loop_Check", V, {}},
        // A line that cannot carry a frame: the port vanished, the carrier never drops.
        {"UIMsg", "Err_Port_Vanished", F, {T}},  // port name
        {"UIMsg", "Err_Carrier_Stuck", F, {T}},  // port name
        // The choices of the serial line setting.
        {"DisplayMsg", "Line_9600_8N1", V, {}},
        {"DisplayMsg", "Line_1200_8O1", V, {}},
        // The traffic window.
        {"UIMsg", "Traffic_Title", V, {}},
        {"UIMsg", "Traffic_All_Commands", V, {}},
        {"UIMsg", "Traffic_All_Results", V, {}},
        {"UIMsg", "Traffic_Result_OK", V, {}},
        {"UIMsg", "Traffic_Result_Refused", V, {}},
        {"UIMsg", "Traffic_Result_Failed", V, {}},
        {"UIMsg", "Traffic_Pause", V, {}},
        {"UIMsg", "Traffic_Clear", V, {}},
        {"UIMsg", "Traffic_Save", V, {}},
        {"UIMsg", "Traffic_Save_Capture", V, {}},
        {"UIMsg", "Traffic_Save_CSV", V, {}},
        {"UIMsg", "Traffic_Columns", V, {}},  // nine column captions between "|"
        {"UIMsg", "Traffic_Delta_Filtered", V, {}},
        {"UIMsg", "Traffic_Detail_Time", V, {}},
        {"UIMsg", "Traffic_Count", F, {I, I, I}},  // shown, kept, dropped
        {"UIMsg", "Traffic_Capture_Filter", V, {}},
        {"UIMsg", "Traffic_CSV_Filter", V, {}},
        {"UIMsg", "Traffic_Open_Tip", V, {}},
        {"UIMsg", "Err_Traffic_Save", F, {T}},  // the file and the system's reason
        // What each status box means; the traffic window's button; the device
        // in the window title; no answer at an address; the fixed-current
        // guidance (loop to manual, a trim taken, a loop left fixed).
        {"UIMsg", "Status_Tip_COM", V, {}},
        {"UIMsg", "Status_Tip_PE", V, {}},
        {"UIMsg", "Status_Tip_OVE", V, {}},
        {"UIMsg", "Status_Tip_FE", V, {}},
        {"UIMsg", "Status_Tip_SME", V, {}},
        {"UIMsg", "Status_Tip_BOE", V, {}},
        {"UIMsg", "Status_Tip_TME", V, {}},
        {"UIMsg", "Status_Tip_MAL", V, {}},
        {"UIMsg", "Status_Tip_CFG", V, {}},
        {"UIMsg", "Status_Tip_CLD", V, {}},
        {"UIMsg", "Status_Tip_AFX", V, {}},
        {"UIMsg", "Status_Tip_AOS", V, {}},
        {"UIMsg", "Status_Tip_NPV", V, {}},
        {"UIMsg", "Status_Tip_PV", V, {}},
        {"UIMsg", "Traffic_Open_Button", V, {}},
        {"UIMsg", "Title_Connected", F, {T, T, I, T}},  // caption, tag, polling address, port
        {"UIMsg", "Err_No_Device_At_Address", F, {I, T}},  // polling address, port name
        {"UIMsg", "Err_Connect_Refused", F, {I, T, I, T}},  // address, port, command, code text
        {"UIMsg", "Confr_Fixed_Current_Manual", F, {T}},  // level in mA
        {"UIMsg", "Info_Trim_Accepted", F, {T, T}},  // measured mA, trim point mA
        {"UIMsg", "Info_AO_Stays_Fixed", F, {T}},  // level in mA
        {"TitleMsg", "Save_Traffic_Capture", V, {}},
        {"TitleMsg", "Save_Traffic_CSV", V, {}},
        {"TitleMsg", "Save_Traffic_Capture_Shown", V, {}},
        {"TitleMsg", "Save_Traffic_CSV_Shown", V, {}},

        // Prompts of the entry dialogs. Three texts are (lower, upper, unit).
        {"DisplayMsg", "Set_AO_Alarm_High", F, {T, T, T}},
        {"DisplayMsg", "Set_AO_Alarm_Low", F, {T, T, T}},
        {"DisplayMsg", "Set_Analog_Output", F, {T, T, T}},
        {"DisplayMsg", "Set_CalibWireResist", F, {T, T, T}},
        {"DisplayMsg", "Set_Calibration_val", F, {T, T, T}},
        {"DisplayMsg", "Set_Coefficient_val", F, {T, T}},  // name, scale note
        {"DisplayMsg", "Set_ConstCJC_val", F, {T, T, T}},
        {"DisplayMsg", "Set_Damping_val", F, {}},
        {"DisplayMsg", "Set_Date_Text", F, {}},
        {"DisplayMsg", "Set_Description_Text", F, {}},
        {"DisplayMsg", "Set_Device_Address", F, {}},
        {"DisplayMsg", "Set_DriftAlarm_val", F, {T, T, T}},
        {"DisplayMsg", "Set_FinalAssemblyNo_val", F, {}},
        {"DisplayMsg", "Set_LeadWire_val", F, {}},
        {"DisplayMsg", "Set_Lower_Range", F, {T, T, T}},
        {"DisplayMsg", "Set_Message_Text", F, {}},
        {"DisplayMsg", "Set_PV_Lower_Range", F, {}},
        {"DisplayMsg", "Set_PV_Upper_Range", F, {}},
        {"DisplayMsg", "Set_Saturation_High", F, {T, T, T}},
        {"DisplayMsg", "Set_Saturation_Low", F, {T, T, T}},
        {"DisplayMsg", "Set_Sensor_Lower_Limit", F, {T, T, T}},
        {"DisplayMsg", "Set_Sensor_Lower_Range", F, {T, T, T}},
        {"DisplayMsg", "Set_Sensor_Lower_val", F, {}},
        {"DisplayMsg", "Set_Sensor_Upper_Limit", F, {T, T, T}},
        {"DisplayMsg", "Set_Sensor_Upper_Range", F, {T, T, T}},
        {"DisplayMsg", "Set_Sensor_Upper_val", F, {}},
        {"DisplayMsg", "Set_SerialNo_val", F, {}},
        {"DisplayMsg", "Set_TAG_Text", F, {}},
        {"DisplayMsg", "Set_Upper_Range", F, {T, T, T}},
        {"DisplayMsg", "Set_WriteWireResist", F, {T, T, T}},
        // The traffic decoder's words: command names, response codes, status
        // bits, how an exchange ended, and HART-IP messages in words.
        {"DisplayMsg", "Traffic_Cmd_0", V, {}},
        {"DisplayMsg", "Traffic_Cmd_2", V, {}},
        {"DisplayMsg", "Traffic_Cmd_3", V, {}},
        {"DisplayMsg", "Traffic_Cmd_6", V, {}},
        {"DisplayMsg", "Traffic_Cmd_12", V, {}},
        {"DisplayMsg", "Traffic_Cmd_13", V, {}},
        {"DisplayMsg", "Traffic_Cmd_14", V, {}},
        {"DisplayMsg", "Traffic_Cmd_15", V, {}},
        {"DisplayMsg", "Traffic_Cmd_16", V, {}},
        {"DisplayMsg", "Traffic_Cmd_17", V, {}},
        {"DisplayMsg", "Traffic_Cmd_18", V, {}},
        {"DisplayMsg", "Traffic_Cmd_19", V, {}},
        {"DisplayMsg", "Traffic_Cmd_34", V, {}},
        {"DisplayMsg", "Traffic_Cmd_35", V, {}},
        {"DisplayMsg", "Traffic_Cmd_38", V, {}},
        {"DisplayMsg", "Traffic_Cmd_40", V, {}},
        {"DisplayMsg", "Traffic_Cmd_41", V, {}},
        {"DisplayMsg", "Traffic_Cmd_42", V, {}},
        {"DisplayMsg", "Traffic_Cmd_44", V, {}},
        {"DisplayMsg", "Traffic_Cmd_45", V, {}},
        {"DisplayMsg", "Traffic_Cmd_46", V, {}},
        {"DisplayMsg", "Traffic_Cmd_47", V, {}},
        {"DisplayMsg", "Traffic_Cmd_48", V, {}},
        {"DisplayMsg", "Traffic_Cmd_49", V, {}},
        {"DisplayMsg", "Traffic_Cmd_130", V, {}},
        {"DisplayMsg", "Traffic_Cmd_131", V, {}},
        {"DisplayMsg", "Traffic_Cmd_132", V, {}},
        {"DisplayMsg", "Traffic_Cmd_133", V, {}},
        {"DisplayMsg", "Traffic_Cmd_134", V, {}},
        {"DisplayMsg", "Traffic_Cmd_135", V, {}},
        {"DisplayMsg", "Traffic_Cmd_136", V, {}},
        {"DisplayMsg", "Traffic_Cmd_137", V, {}},
        {"DisplayMsg", "Traffic_Cmd_138", V, {}},
        {"DisplayMsg", "Traffic_Cmd_139", V, {}},
        {"DisplayMsg", "Traffic_Cmd_140", V, {}},
        {"DisplayMsg", "Traffic_Cmd_141", V, {}},
        {"DisplayMsg", "Traffic_Cmd_142", V, {}},
        {"DisplayMsg", "Traffic_Cmd_143", V, {}},
        {"DisplayMsg", "Traffic_Cmd_144", V, {}},
        {"DisplayMsg", "Traffic_Cmd_145", V, {}},
        {"DisplayMsg", "Traffic_Cmd_146", V, {}},
        {"DisplayMsg", "Traffic_Cmd_147", V, {}},
        {"DisplayMsg", "Traffic_Cmd_148", V, {}},
        {"DisplayMsg", "Traffic_Cmd_149", V, {}},
        {"DisplayMsg", "Traffic_Cmd_150", V, {}},
        {"DisplayMsg", "Traffic_Cmd_151", V, {}},
        {"DisplayMsg", "Traffic_Cmd_152", V, {}},
        {"DisplayMsg", "Traffic_Cmd_153", V, {}},
        {"DisplayMsg", "Traffic_Cmd_154", V, {}},
        {"DisplayMsg", "Traffic_Cmd_155", V, {}},
        {"DisplayMsg", "Traffic_Cmd_156", V, {}},
        {"DisplayMsg", "Traffic_Cmd_186", V, {}},
        {"DisplayMsg", "Traffic_Cmd_187", V, {}},
        {"DisplayMsg", "Traffic_Cmd_188", V, {}},
        {"DisplayMsg", "Traffic_Cmd_189", V, {}},
        {"DisplayMsg", "Traffic_Cmd_190", V, {}},
        {"DisplayMsg", "Traffic_Cmd_191", V, {}},
        {"DisplayMsg", "Traffic_Cmd_192", V, {}},
        {"DisplayMsg", "Traffic_Cmd_193", V, {}},
        {"DisplayMsg", "Traffic_Cmd_194", V, {}},
        {"DisplayMsg", "Traffic_Cmd_195", V, {}},
        {"DisplayMsg", "Traffic_Cmd_196", V, {}},
        {"DisplayMsg", "Traffic_Cmd_197", V, {}},
        {"DisplayMsg", "Traffic_RC_0", V, {}},
        {"DisplayMsg", "Traffic_RC_1", V, {}},
        {"DisplayMsg", "Traffic_RC_2", V, {}},
        {"DisplayMsg", "Traffic_RC_3", V, {}},
        {"DisplayMsg", "Traffic_RC_4", V, {}},
        {"DisplayMsg", "Traffic_RC_5", V, {}},
        {"DisplayMsg", "Traffic_RC_6", V, {}},
        {"DisplayMsg", "Traffic_RC_7", V, {}},
        {"DisplayMsg", "Traffic_RC_34_8", V, {}},
        {"DisplayMsg", "Traffic_RC_35_9", V, {}},
        {"DisplayMsg", "Traffic_RC_40_9", V, {}},
        {"DisplayMsg", "Traffic_RC_45_9", V, {}},
        {"DisplayMsg", "Traffic_RC_46_9", V, {}},
        {"DisplayMsg", "Traffic_RC_151_9", V, {}},
        {"DisplayMsg", "Traffic_RC_153_9", V, {}},
        {"DisplayMsg", "Traffic_RC_35_10", V, {}},
        {"DisplayMsg", "Traffic_RC_151_10", V, {}},
        {"DisplayMsg", "Traffic_RC_35_11", V, {}},
        {"DisplayMsg", "Traffic_RC_40_11", V, {}},
        {"DisplayMsg", "Traffic_RC_151_11", V, {}},
        {"DisplayMsg", "Traffic_RC_35_12", V, {}},
        {"DisplayMsg", "Traffic_RC_151_12", V, {}},
        {"DisplayMsg", "Traffic_RC_35_13", V, {}},
        {"DisplayMsg", "Traffic_RC_151_13", V, {}},
        {"DisplayMsg", "Traffic_RC_35_14", V, {}},
        {"DisplayMsg", "Traffic_RC_151_14", V, {}},
        {"DisplayMsg", "Traffic_RC_16", V, {}},
        {"DisplayMsg", "Traffic_RC_32", V, {}},
        {"DisplayMsg", "Traffic_RC_33", V, {}},
        {"DisplayMsg", "Traffic_RC_34", V, {}},
        {"DisplayMsg", "Traffic_RC_35", V, {}},
        {"DisplayMsg", "Traffic_RC_36", V, {}},
        {"DisplayMsg", "Traffic_RC_64", V, {}},
        {"DisplayMsg", "Traffic_RC_Other", F, {I}},
        {"DisplayMsg", "Traffic_Comm_Error", V, {}},
        {"DisplayMsg", "Traffic_Comm_0x40", V, {}},
        {"DisplayMsg", "Traffic_Comm_0x20", V, {}},
        {"DisplayMsg", "Traffic_Comm_0x10", V, {}},
        {"DisplayMsg", "Traffic_Comm_0x08", V, {}},
        {"DisplayMsg", "Traffic_Comm_0x04", V, {}},
        {"DisplayMsg", "Traffic_Comm_0x02", V, {}},
        {"DisplayMsg", "Traffic_Status_0x80", V, {}},
        {"DisplayMsg", "Traffic_Status_0x40", V, {}},
        {"DisplayMsg", "Traffic_Status_0x20", V, {}},
        {"DisplayMsg", "Traffic_Status_0x10", V, {}},
        {"DisplayMsg", "Traffic_Status_0x08", V, {}},
        {"DisplayMsg", "Traffic_Status_0x04", V, {}},
        {"DisplayMsg", "Traffic_Status_0x02", V, {}},
        {"DisplayMsg", "Traffic_Status_0x01", V, {}},
        {"DisplayMsg", "Traffic_Outcome_0", V, {}},
        {"DisplayMsg", "Traffic_Outcome_1", V, {}},
        {"DisplayMsg", "Traffic_Outcome_2", V, {}},
        {"DisplayMsg", "Traffic_Outcome_3", V, {}},
        {"DisplayMsg", "Traffic_Outcome_4", V, {}},
        {"DisplayMsg", "Traffic_Outcome_5", V, {}},
        {"DisplayMsg", "Traffic_Outcome_6", V, {}},
        {"DisplayMsg", "Traffic_Outcome_7", V, {}},
        {"DisplayMsg", "Traffic_Outcome_8", V, {}},
        {"DisplayMsg", "Traffic_Outcome_9", V, {}},
        {"DisplayMsg", "Traffic_Outcome_10", V, {}},
        {"DisplayMsg", "Traffic_No_Response_Code", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Type_0", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Type_1", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Type_2", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Type_3", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Type_15", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Id_0", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Id_1", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Id_2", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Id_3", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Status_2", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Status_5", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Status_8", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Status_14", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Status_15", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Status_16", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Error_0", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Error_1", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Error_2", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Sent", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Sequence", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Host", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Primary", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Secondary", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Timer", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Error", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Unasked", V, {}},
        {"DisplayMsg", "Traffic_HartIp_Not_Message", V, {}},
        {"DisplayMsg", "Traffic_Session_Message", V, {}},
    };
    for (std::string_view key : {"Select_CJCModeSW",
                                 "Select_CJC_Unit",
                                 "Select_Display_Language",
                                 "Select_Measurement_Type",
                                 "Select_PV_Unit",
                                 "Select_Sensor_Type",
                                 "Select_TermTempUnit",
                                 "Select_Wire_Type",
                                 "Set_AO_Alarm_High_Title",
                                 "Set_AO_Alarm_Low_Title",
                                 "Set_AlarmMode",
                                 "Set_AnalogOP_Val",
                                 "Set_BurnOut",
                                 "Set_CJCMode",
                                 "Set_CalibWireResist_Title",
                                 "Set_Calibration_Val_Span",
                                 "Set_Calibration_Val_Trim",
                                 "Set_Calibration_Val_Zero",
                                 "Set_Coefficient_Val_Title",
                                 "Set_ConstCJC_Title",
                                 "Set_Damping_Value_Title",
                                 "Set_Date_Text_Title",
                                 "Set_Description_Text_Title",
                                 "Set_Device_Address_Title",
                                 "Set_DriftAlarm_Title",
                                 "Set_FinalAssemblyNo_Value_Title",
                                 "Set_LeadWire_Title",
                                 "Set_Lower_Range_Title",
                                 "Set_Message_Text_Title",
                                 "Set_PV_Lower_Range_File",
                                 "Set_PV_Upper_Range_File",
                                 "Set_Saturation_High_Title",
                                 "Set_Saturation_Low_Title",
                                 "Set_SensorNum",
                                 "Set_Sensor_Lower_Limit_Title",
                                 "Set_Sensor_Lower_Range_File",
                                 "Set_Sensor_Lower_Range_Title",
                                 "Set_Sensor_Upper_Limit_Title",
                                 "Set_Sensor_Upper_Range_File",
                                 "Set_Sensor_Upper_Range_Title",
                                 "Set_SerialNo_Value_Title",
                                 "Set_Tag_Text_Title",
                                 "Set_Upper_Range_Title",
                                 "Set_WriteWireResist_Title",
                                 "Set_Xfer"}) {
        keys.push_back({"TitleMsg", key, V, {}});
    }
    for (std::string_view key : {"Custom_RTD_Download", "Custom_RTD_Upload", "Custom_SC_Download",
                                 "Custom_SC_Upload", "Custom_TC_Download", "Custom_TC_Upload",
                                 "Download_Dev_Info", "LookingFor_Hart_Dev", "Upload_Dev_Info",
                                 "Storing_Table"}) {
        keys.push_back({"ProgressMsg", key, V, {}});
    }
    return keys;
}

std::vector<DialogInfo> BuildDialogs() {
    // Dialogs whose controls are not fixed yet list none; their owners add
    // them here as they are built.
    return {
        {102, "CMainDlgDlg", {}},
        {130,
         "CDetailedInfo",
         {1601, 1602, 1603, 1604, 1605, 1606, 1607, 1608, 1609, 1610, 1611, 1612, 1613, 1614,
          1615}},
        {137, "CCustomTC",
         {1801, 1802, 1803, 1804, 1805, 1806, 1808, 1809, 1810, 1811, 1812, 1813, 1814, 1815, 1816}},
        {138, "CCustomRTD",
         {1801, 1802, 1803, 1804, 1805, 1806, 1807, 1808, 1809, 1810, 1811, 1812, 1813, 1814, 1815,
          1816}},
        {139, "CSpecialCurve",
         {1801, 1802, 1803, 1804, 1805, 1806, 1808, 1809, 1810, 1812, 1813, 1814, 1815, 1816}},
        {131, "CAnalogOP", {1801, 1802, 1803, 1804, 1805, 1806}},
        {132, "CAOAlarm", {1811, 1812, 1813, 1814, 1815, 1816, 1817, 1818, 1819}},
        {133, "CTrimDAC", {1821, 1822, 1823, 1824, 1825, 1826}},
        {134, "CSensorCalib", {1831, 1832, 1833, 1834, 1835, 1836, 1837, 1838, 1839, 1840, 1841}},
        {135, "CWireResistance", {1851, 1852, 1853, 1854}},
        {136, "CDiagnostics", {1901, 1902, 1903, 1904, 1905, 1906, 1907}},
        {140, "CTrendGraph", {1273, 1172, 1173, 1174}},
        {141, "CSensorInfo", {1501, 1502, 1503, 1504, 1505, 1506, 1507, 1508, 1509, 1510, 1511, 1512, 1513, 1514, 1515}},
        {142,
         "CDisplayArea",
         {1178, 1179, 1180, 1181, 1051, 1053, 1054, 1058, 1052, 1057, 1056, 1055}},
        {143,
         "CFunctionKeys",
         {1291, 1037, 1045, 1039, 1424, 1040, 1041, 1042, 1044, 1043, 1047, 1046, 1048, 1055, 1049,
          1050, 1196}},
        {144,
         "CFileProperty",
         {1801, 1802, 1803, 1804, 1805, 1806, 1807, 1808, 1809, 1810, 1811, 1812, 1813, 1814,
          1815, 1816, 1819, 1820, 1821, 1822, 1823, 1824, 1825, 1826, 1827, 1828, 1829, 1830,
          1831, 1832, 1833, 1834}},
        {145, "CSelectListBox", {1199, 1078}},
        {147,
         "CDisplaySignal",
         {1191, 1021, 1326, 1023, 1024, 1025, 1026, 1028, 1029, 1030, 1038, 1031, 1032, 1034, 1035,
          1036, 1037}},
        {149, "CValidateNumber", {1, 2}},
        {150, "CConnectDevice", {1301, 1302, 1304, 1306, 1307, 1308, 1309, 1310}},
        {153, "CValidateText", {1, 2}},
        {159, "CCustomGraph", {1304, 1275}},
        {164, "CSetting", {1340, 1050, 1275}},
        {165,
         "CFileProperty2",
         {1801, 1802, 1803, 1804, 1805, 1806, 1807, 1808, 1809, 1810, 1811, 1812, 1813, 1814,
          1815, 1817, 1818, 1819, 1835, 1836, 1837, 1838, 1839, 1840, 1841, 1842, 1843, 1844,
          1845, 1846}},
        {167,
         "CAddStatus",
         {1861, 1862, 1863, 1864, 1865, 1870, 1871, 1872, 1873, 1874, 1875, 1876, 1877, 1878, 1879,
          1880, 1881, 1882, 1883, 1884, 1885, 1886, 1887, 1888, 1889, 1890, 1891, 1892, 1893}},
        {168,
         "CDetailSensorInfo",
         {1701, 1702, 1703, 1704, 1705, 1706, 1707, 1708, 1709, 1710, 1711, 1712, 1713}},
        {169, "CPollingAddr", {1401, 1402, 1404, 1406, 1407}},
        {170, "CLookingForDeviceInfo", {}},
    };
}

}  // namespace

const std::vector<MessageKeyInfo>& MessageCatalog::Keys() {
    static const std::vector<MessageKeyInfo> keys = BuildKeys();
    return keys;
}

const MessageKeyInfo* MessageCatalog::FindKey(std::string_view section, std::string_view key) {
    const auto& keys = Keys();
    const auto it = std::find_if(keys.begin(), keys.end(), [&](const MessageKeyInfo& info) {
        return info.section == section && info.key == key;
    });
    return it == keys.end() ? nullptr : &*it;
}

const std::vector<DialogInfo>& MessageCatalog::Dialogs() {
    static const std::vector<DialogInfo> dialogs = BuildDialogs();
    return dialogs;
}

const DialogInfo* MessageCatalog::FindDialog(int id) {
    const auto& dialogs = Dialogs();
    const auto it = std::find_if(dialogs.begin(), dialogs.end(),
                                 [id](const DialogInfo& info) { return info.id == id; });
    return it == dialogs.end() ? nullptr : &*it;
}

bool MessageCatalog::HasControl(int dialogId, int controlId) {
    const DialogInfo* dialog = FindDialog(dialogId);
    if (dialog == nullptr) return false;
    return controlId == 0 || std::find(dialog->controls.begin(), dialog->controls.end(),
                                       controlId) != dialog->controls.end();
}

}  // namespace qt40
