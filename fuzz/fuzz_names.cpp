// The rules for outside text: interface names against the kernel's own rule, the dashboard
// URL (https with a host, re-parsable), and the address check against inet_pton.
#include "measure/InterfaceName.h"
#include "model/Preferences.h"
#include "platform/sysfs/SysfsNet.h"
#include "services/PublicIPService.h"

#include <QString>
#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace corvane;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// dev_valid_name() as the kernel writes it, over a C string, with its ctype's spaces.
bool kernelValidName(const char* name)
{
    const auto kernelSpace = [](unsigned char c) {
        return c == ' ' || (c >= 9 && c <= 13) || c == 160;
    };
    if (*name == '\0' || strnlen(name, 16) == 16 || !strcmp(name, ".") || !strcmp(name, ".."))
        return false;
    for (; *name; ++name)
        if (*name == '/' || *name == ':' || kernelSpace(static_cast<unsigned char>(*name)))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);

    // A string with a NUL inside is no name; the kernel would see only the part before it.
    const bool expected = text.find('\0') == std::string::npos && kernelValidName(text.c_str());
    check(validInterfaceName(text) == expected);
    check(SysfsNet::validName(text) == expected);
    const QString utf16 = QString::fromUtf8(text.data(), qsizetype(size));
    if (utf16.toUtf8() == QByteArray(text.data(), qsizetype(size)))
        check(Preferences::isValidInterfaceName(utf16) == expected);

    if (const auto url = Preferences::validDashboardURL(utf16)) {
        check(url->isValid() && url->scheme().toLower() == u"https" && !url->host().isEmpty());
        check(Preferences::validDashboardURL(url->toString()) == url);
    }

    if (const auto address =
            PublicIPService::parseAddress(QByteArray(text.data(), qsizetype(size)))) {
        const QByteArray latin = address->toLatin1();
        unsigned char buf[16];
        check(inet_pton(AF_INET, latin.constData(), buf) == 1 ||
              inet_pton(AF_INET6, latin.constData(), buf) == 1);
        check(PublicIPService::parseAddress(address->toUtf8()) == address);
    }
    return 0;
}
