#pragma once

#include <optional>
#include <string>

namespace corvane::DemoFixture {

// Environment switches, read on every call (they do not change while the process runs).
// The boolean ones are on only for the exact text "1"; the paths count as set even when empty.
bool isActive();
bool privacy();
std::optional<std::string> labelRenderPath();
std::optional<std::string> renderPath();

} // namespace corvane::DemoFixture
