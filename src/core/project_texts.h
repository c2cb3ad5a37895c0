#pragma once

// The messages box and filter projects share when they are saved, closed or read.
namespace harlox::project_text {

inline constexpr const char* kSaveQuestion = "Project has been changed.\r\nSave project ?";
inline constexpr const char* kSaveCaption = "File save";
inline constexpr const char* kSaveAsCaption = "File save as";
inline constexpr const char* kSaveFailed = "Could not open file.\nCheck if device is ready\nor if the disk is full.";
inline constexpr const char* kOldFileCaption = "Old project file";
inline constexpr const char* kOldFile = "This project file was created with an\nolder version of "
                                        "Harlox.\nRemenber that project files are not\nbackwards "
                                        "compatible";

} // namespace harlox::project_text
