#include "demo/DemoFixture.h"

#include <cstdlib>
#include <cstring>

namespace corvane::DemoFixture {

namespace {

bool isOne(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr && std::strcmp(v, "1") == 0;
}

std::optional<std::string> pathOf(const char* name)
{
    const char* v = std::getenv(name);
    if (v == nullptr)
        return std::nullopt;
    return std::string(v);
}

} // namespace

bool isActive()
{
    return isOne("CORVANE_DEMO");
}
bool privacy()
{
    return isOne("CORVANE_DEMO_PRIVACY");
}
std::optional<std::string> labelRenderPath()
{
    return pathOf("CORVANE_RENDER_LABEL");
}
std::optional<std::string> renderPath()
{
    return pathOf("CORVANE_RENDER_PANEL");
}

} // namespace corvane::DemoFixture
