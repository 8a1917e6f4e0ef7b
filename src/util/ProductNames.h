#pragma once

// The product's names and version, in the one place they are written (the build reads the
// version from here too).

#include <QString>

namespace velmora {

// The product's fixed title, used by message boxes that name none.
inline constexpr const char* kAppTitle = "Velmora";
inline constexpr const char* kVendorName = "Quarnix";
inline constexpr const char* kSupportEmail = "support@velmora.example";
inline constexpr const char* kWebAddress = "www.velmora.example";

inline constexpr const char* kVersion = "2.0";
// Shown with the version in the About window; raised by hand for every release.
inline constexpr int kBuildNumber = 1102;

// The vendor and the title together, as captions name the product: "Quarnix Velmora".
inline QString ProductName() {
    return QLatin1String(kVendorName) + QLatin1Char(' ') + QLatin1String(kAppTitle);
}

}  // namespace velmora
