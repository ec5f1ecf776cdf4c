// Every host name the plug-in binds at load, in lookup order: variables (kind 30000), then services
// (kind 30001). The plug-in and the stand-in host both build their tables from this one list.
#pragma once

// X(identifier, name, lookup kind, optional)
#define HOST_NAME_LIST(X) \
    X(HN_hInstVrel, "hInstVrel", 30000, 0) \
    X(HN_MainMenu, "MainMenu", 30000, 0) \
    X(HN_GlobalModuleClass, "GlobalModuleClass", 30000, 0) \
    X(HN_hwndDesk_ADDR, "&hwndDesk", 30000, 0) \
    X(HN_Module_ADDR, "&Module", 30000, 0) \
    X(HN_ViewModule_ADDR, "&ViewModule", 30000, 0) \
    X(HN_wNumberOfModules_ADDR, "&wNumberOfModules", 30000, 0) \
    X(HN_uiHighModuleNumber_ADDR, "&uiHighModuleNumber", 30000, 0) \
    X(HN_CurrentModule_ADDR, "&CurrentModule", 30000, 0) \
    X(HN_CurrentModulePtr_ADDR, "&CurrentModulePtr", 30000, 0) \
    X(HN_uiVersionsTyp, "uiVersionsTyp", 30000, 0) \
    X(HN_uiDistributorTyp, "uiDistributorTyp", 30000, 0) \
    X(HN_bDateDayLeadingZero, "bDateDayLeadingZero", 30000, 1) \
    X(HN_bDateMonthLeadingZero, "bDateMonthLeadingZero", 30000, 1) \
    X(HN_bDateYearLong, "bDateYearLong", 30000, 1) \
    X(HN_wDateFormat, "wDateFormat", 30000, 1) \
    X(HN_bTime24h, "bTime24h", 30000, 1) \
    X(HN_bTimeLeadingZero, "bTimeLeadingZero", 30000, 1) \
    X(HN_TimeTrenn, "TimeTrenn", 30000, 0) \
    X(HN_DezTrenn, "DezTrenn", 30000, 0) \
    X(HN_bDecLeadingZero, "bDecLeadingZero", 30000, 1) \
    X(HN_DateTrenn, "DateTrenn", 30000, 0) \
    X(HN_bDisplayWithoutWnd_ADDR, "&bDisplayWithoutWnd", 30000, 0) \
    X(HN_bPauseIsDisabled_ADDR, "&bPauseIsDisabled", 30000, 0) \
    X(HN_LAYER_OutputParam_ADDR, "&LAYER_OutputParam", 30000, 0) \
    X(HN_StreamOptionen_ADDR, "&StreamOptionen", 30000, 0) \
    X(HN_TempStreamOptionen_ADDR, "&TempStreamOptionen", 30000, 0) \
    X(HN_CJ_Refs_ADDR, "&CJ_Refs", 30000, 0) \
    X(HN_CJ_Temp_ADDR, "&CJ_Temp", 30000, 0) \
    X(HN_hBitChannel, "hBitChannel", 30000, 0) \
    X(HN_hBitLessMore, "hBitLessMore", 30000, 0) \
    X(HN_hDkGrayPen, "hDkGrayPen", 30000, 0) \
    X(HN_hPipePenRed, "hPipePenRed", 30000, 0) \
    X(HN_hPipePenGreen, "hPipePenGreen", 30000, 0) \
    X(HN_hLightRedBrush, "hLightRedBrush", 30000, 0) \
    X(HN_hGreenBrush, "hGreenBrush", 30000, 0) \
    X(HN_InitialStartupDir, "InitialStartupDir", 30000, 0) \
    X(HN_ExeFileDir, "ExeFileDir", 30000, 0) \
    X(HN_NameOfFlowChart, "NameOfFlowChart", 30000, 0) \
    X(HN_FullNameOfFlowChart, "FullNameOfFlowChart", 30000, 0) \
    X(HN_ProgFileNameIni, "ProgFileNameIni", 30000, 0) \
    X(HN_DefStreamingDir, "DefStreamingDir", 30000, 0) \
    X(HN_DefFlowchartDir, "DefFlowchartDir", 30000, 0) \
    X(HN_DefDataDir, "DefDataDir", 30000, 0) \
    X(HN_DefDeviceDir, "DefDeviceDir", 30000, 0) \
    X(HN_DefUtilityDir, "DefUtilityDir", 30000, 0) \
    X(HN_GlobalFlowChartInfo_Author, "GlobalFlowChartInfo.Author", 30000, 0) \
    X(HN_GlobalFlowChartInfo_Company, "GlobalFlowChartInfo.Company", 30000, 0) \
    X(HN_GlobalFlowChartInfo_Department, "GlobalFlowChartInfo.Department", 30000, 0) \
    X(HN_GlobalFlowChartInfo_Title, "GlobalFlowChartInfo.Title", 30000, 0) \
    X(HN_GlobalFlowChartInfo_Info, "GlobalFlowChartInfo.Info", 30000, 0) \
    X(HN_DapSetup, "DapSetup", 30000, 0) \
    X(HN_ExperimentStartTime_ADDR, "&ExperimentStartTime", 30000, 0) \
    X(HN_StartingTimeTicks_ADDR, "&StartingTimeTicks", 30000, 0) \
    X(HN_SysInfo_ADDR, "&SysInfo", 30000, 0) \
    X(HN_SysOpt_ADDR, "&SysOpt", 30000, 0) \
    X(HN_SerialOpt_ADDR, "&SerialOpt", 30000, 0) \
    X(HN_DdeInstance_ADDR, "&DdeInstance", 30000, 0) \
    X(HN_ToolTip_ADDR, "&ToolTip", 30000, 0) \
    X(HN_nWindowOrder_ADDR, "&nWindowOrder", 30000, 0) \
    X(HN_NewMemAlloc, "NewMemAlloc", 30001, 0) \
    X(HN_NewMemReAlloc, "NewMemReAlloc", 30001, 0) \
    X(HN_NewDoMemFree, "NewDoMemFree", 30001, 0) \
    X(HN_DefineDllModule, "DefineDllModule", 30001, 0) \
    X(HN_DefineDllVariable, "DefineDllVariable", 30001, 0) \
    X(HN_RegisterModuleClass, "RegisterModuleClass", 30001, 0) \
    X(HN_PerformDefaultAction, "PerformDefaultAction", 30001, 0) \
    X(HN_NewReleaseOutputBlock, "NewReleaseOutputBlock", 30001, 0) \
    X(HN_GetCurrentOutputBlock, "GetCurrentOutputBlock", 30001, 0) \
    X(HN_GetInputFifo, "GetInputFifo", 30001, 0) \
    X(HN_GetInputBlock, "GetInputBlock", 30001, 0) \
    X(HN_NewReleaseInputBlock, "NewReleaseInputBlock", 30001, 0) \
    X(HN_ChangeModuleSize, "ChangeModuleSize", 30001, 0) \
    X(HN_ChangeModuleName, "ChangeModuleName", 30001, 0) \
    X(HN_ChangeNameInString, "ChangeNameInString", 30001, 0) \
    X(HN_SendModuleMessage, "SendModuleMessage", 30001, 0) \
    X(HN_SendModChanMessage, "SendModChanMessage", 30001, 0) \
    X(HN_CopyChannelName, "CopyChannelName", 30001, 0) \
    X(HN_FillUnitList, "FillUnitList", 30001, 0) \
    X(HN_MODUL_InitAll, "MODUL_InitAll", 30001, 0) \
    X(HN_MODUL_DestroyAll, "MODUL_DestroyAll", 30001, 0) \
    X(HN_InitMatrixNew, "InitMatrixNew", 30001, 0) \
    X(HN_ShowWarning, "ShowWarning", 30001, 0) \
    X(HN_EnableAllWindows, "EnableAllWindows", 30001, 0) \
    X(HN_ShowInternalError, "ShowInternalError", 30001, 0) \
    X(HN_StopExperiment, "StopExperiment", 30001, 0) \
    X(HN_PauseExperiment, "PauseExperiment", 30001, 0) \
    X(HN_CurrentExperimentTime, "CurrentExperimentTime", 30001, 0) \
    X(HN_DispatchQueuedMessages, "DispatchQueuedMessages", 30001, 0) \
    X(HN_BBox_FullEnter, "BBox_FullEnter", 30001, 0) \
    X(HN_BBox_FullLeave, "BBox_FullLeave", 30001, 0) \
    X(HN_BBox_LightEnter, "BBox_LightEnter", 30001, 0) \
    X(HN_BBox_LightLeave, "BBox_LightLeave", 30001, 0) \
    X(HN_CreateSatellite, "CreateSatellite", 30001, 0) \
    X(HN_UpdateSatellite, "UpdateSatellite", 30001, 0) \
    X(HN_RemoveUselessSatellites, "RemoveUselessSatellites", 30001, 0) \
    X(HN_CreateStackedPen, "CreateStackedPen", 30001, 0) \
    X(HN_CreateStackedPenIndirect, "CreateStackedPenIndirect", 30001, 0) \
    X(HN_CreateStackedFontIndirect, "CreateStackedFontIndirect", 30001, 0) \
    X(HN_CreateStackedSolidBrush, "CreateStackedSolidBrush", 30001, 0) \
    X(HN_CreateStackedBrushIndirect, "CreateStackedBrushIndirect", 30001, 0) \
    X(HN_DeleteStackedObject, "DeleteStackedObject", 30001, 0) \
    X(HN_do_fft, "do_fft", 30001, 0) \
    X(HN_EditText, "EditText", 30001, 0) \
    X(HN_LoadInterpolationTable, "LoadInterpolationTable", 30001, 0) \
    X(HN_LoadTableFromFile, "LoadTableFromFile", 30001, 0) \
    X(HN_SearchForFileToLoad, "SearchForFileToLoad", 30001, 0) \
    X(HN_DoesFileExistAndMsg, "DoesFileExistAndMsg", 30001, 0) \
    X(HN_AskForFilenameChange, "AskForFilenameChange", 30001, 0) \
    X(HN_CheckCreateDir, "CheckCreateDir", 30001, 0) \
    X(HN_InitPrinter, "InitPrinter", 30001, 0) \
    X(HN_PrintHeader, "PrintHeader", 30001, 0) \
    X(HN_ExitPrinter, "ExitPrinter", 30001, 0) \
    X(HN_PrintFooter, "PrintFooter", 30001, 0) \
    X(HN_NextPage, "NextPage", 30001, 0) \
    X(HN_CheckedCreateFile, "CheckedCreateFile", 30001, 0) \
    X(HN_CheckedOpenFile, "CheckedOpenFile", 30001, 0) \
    X(HN_CreateAndShowToolTipWindow, "CreateAndShowToolTipWindow", 30001, 0) \
    X(HN_SendPanelMessage, "SendPanelMessage", 30001, 0) \
    X(HN_GlStr_RegisterByText, "GlStr_RegisterByText", 30001, 0) \
    X(HN_GlStr_UnregisterByText, "GlStr_UnregisterByText", 30001, 0) \
    X(HN_ExpandString, "ExpandString", 30001, 0) \
    X(HN_ExpandStringNumber, "ExpandStringNumber", 30001, 0) \
    X(HN_ExpandVarNumber, "ExpandVarNumber", 30001, 0) \
    X(HN_ExpandUnitString, "ExpandUnitString", 30001, 0) \
    X(HN_ExpandUnit, "ExpandUnit", 30001, 0) \
    X(HN_GlStr_RegisterByNumber, "GlStr_RegisterByNumber", 30001, 0) \
    X(HN_GlStr_UnregisterByNumber, "GlStr_UnregisterByNumber", 30001, 0) \
    X(HN_GlStr_Set, "GlStr_Set", 30001, 0) \
    X(HN_GlStr_Get, "GlStr_Get", 30001, 0) \
    X(HN_GlStr_PrefixGet, "GlStr_PrefixGet", 30001, 0) \
    X(HN_GlVar_RegisterByNumber, "GlVar_RegisterByNumber", 30001, 0) \
    X(HN_GlVar_UnregisterByNumber, "GlVar_UnregisterByNumber", 30001, 0) \
    X(HN_GlVar_Set, "GlVar_Set", 30001, 0) \
    X(HN_GlVar_Get, "GlVar_Get", 30001, 0) \
    X(HN_GlVar_PrefixGet, "GlVar_PrefixGet", 30001, 0) \
    X(HN_GlVar_VarStringGet, "GlVar_VarStringGet", 30001, 0) \
    X(HN_GlVar_SetSyntax, "GlVar_SetSyntax", 30001, 0) \
    X(HN_GlStr_SetSyntax, "GlStr_SetSyntax", 30001, 0) \
    X(HN_SetMenuForGlobalStrings, "SetMenuForGlobalStrings", 30001, 0) \
    X(HN_SetMenuForGlobalVars, "SetMenuForGlobalVars", 30001, 0) \
    X(HN_DeleteMenuForGlobalStrings, "DeleteMenuForGlobalStrings", 30001, 0) \
    X(HN_DeleteMenuForGlobalVars, "DeleteMenuForGlobalVars", 30001, 0) \
    X(HN_ShowVarsAndSelect, "ShowVarsAndSelect", 30001, 0) \
    X(HN_DsbHasChanged, "DsbHasChanged", 30001, 0) \
    X(HN_RegisterMenuEntry, "RegisterMenuEntry", 30001, 0) \
    X(HN_RegisterExtraMemory, "RegisterExtraMemory", 30001, 0) \
    X(HN_FindModuleByName, "FindModuleByName", 30001, 0) \
    X(HN_AddExtMemInstance, "AddExtMemInstance", 30001, 0) \
    X(HN_RemoveExtMemInstance, "RemoveExtMemInstance", 30001, 0) \
    X(HN_RegisterNewWorksheetNotification, "RegisterNewWorksheetNotification", 30001, 0) \
    X(HN_RegisterTimeBase, "RegisterTimeBase", 30001, 0) \
    X(HN_UnregisterTimeBase, "UnregisterTimeBase", 30001, 0) \
    X(HN_SetTimeBase, "SetTimeBase", 30001, 0) \
    X(HN_SetTimeBaseTime, "SetTimeBaseTime", 30001, 0) \
    X(HN_IncTimeBaseTime, "IncTimeBaseTime", 30001, 0) \
    X(HN_GetTimeBaseBlockSize, "GetTimeBaseBlockSize", 30001, 0) \
    X(HN_GetTimeBaseSampleDistance, "GetTimeBaseSampleDistance", 30001, 0) \
    X(HN_GetTimeBaseTime, "GetTimeBaseTime", 30001, 0) \
    X(HN_FillTimeBaseCombo, "FillTimeBaseCombo", 30001, 0) \
    X(HN_GetTimeBaseComboID, "GetTimeBaseComboID", 30001, 0) \
    X(HN_TimeBaseDialog, "TimeBaseDialog", 30001, 0) \

enum HostNameIndex {
#define HOST_NAME_ENUM(id, name, kind, optional) id,
    HOST_NAME_LIST(HOST_NAME_ENUM)
#undef HOST_NAME_ENUM
    HOST_NAME_COUNT
};

struct HostNameEntry {
    const char* name;
    unsigned kind;
    int optional;
};

static const HostNameEntry HOST_NAMES[] = {
#define HOST_NAME_ROW(id, name, kind, optional) { name, kind, optional },
    HOST_NAME_LIST(HOST_NAME_ROW)
#undef HOST_NAME_ROW
};

static_assert(HOST_NAME_COUNT == 162, "162 host names");
static_assert(HN_NewMemAlloc == 60, "services follow the 60 variables");
