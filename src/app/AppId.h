#pragma once

namespace corvane {

// The one name the desktop knows the program by: desktop entry, AppStream component,
// D-Bus name and autostart entry.
inline constexpr char appId[] = "io.github.corvane.Corvane";

} // namespace corvane
