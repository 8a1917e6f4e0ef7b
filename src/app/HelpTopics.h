#pragma once

// Pages of the help file that F1 opens, by the window or tab in front.
namespace velmora::app::help_topics {

inline constexpr const char* kWelcome = "/index.html";
inline constexpr const char* kChoosing = "/choosing.html";
inline constexpr const char* kPreview = "/preview.html";
inline constexpr const char* kExporting = "/exporting.html";

}  // namespace velmora::app::help_topics
