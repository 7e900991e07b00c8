#pragma once

// The notification codes the panels of the main window exchange through their subjects.
enum NotifyCode {
    kNotifyOpenSourceFolder = 1, // Open pressed while saving beside the sources
    kNotifyConvertFinished = 2,  // idle buttons
    kNotifyConvertStarting = 3,  // running buttons
    kNotifyConvertLock = 4,      // lock the options while converting
    kNotifyConvertUnlock = 5,
    kNotifyStart = 6,
    kNotifyStop = 7,
    kNotifyLoadLock = 8, // lock everything while files load
    kNotifyLoadUnlock = 9,
    kNotifyAddFiles = 10,
    kNotifyEmptyRow = 11, // data: the FileRowInfo; clear its accept flag to refuse it
    kNotifyAddFolder = 12,
    kNotifyDelete = 13,
    kNotifyClearAll = 14,
    kNotifySelectAll = 15,
    kNotifyCellClicked = 16, // data: FileCellInfo
    kNotifyRowDeleted = 17,  // data: FileCellInfo; row -1 when every row was cleared
    kNotifyInvertSelection = 18,
    kNotifyCellEdit = 19, // data: FileCellInfo with its accept flag
    kNotifyProductSelecting = 20,
    kNotifyProductSelected = 21,
    kNotifyMergePrompt = 22, // the merged-output name prompt is about to open
    kNotifyPreferences = 23,
    kNotifyJobSummary = 24, // data: JobSummary of the job that ended
};
