// Lines of "Set-cookie" ("1..."), "Set-cookie2" ("2...") values and request URLs ("?...") for a
// host given on the first line. The Cookie value built must never hold a line break or NUL.
#include <stdlib.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Exception.h"
#include "http/IdCookieManager.h"

namespace {

void Require(bool condition) {
    if (!condition)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "Europe/Warsaw", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = input.find('\n');
    const std::string host = input.substr(0, start);
    w20::TIdCookieManager manager;
    while (start != std::string::npos) {
        const std::size_t end = input.find('\n', start + 1);
        const std::string line = input.substr(start + 1, end == std::string::npos ? end : end - start - 1);
        start = end;
        if (line.empty())
            continue;
        const std::string value = line.substr(1);
        const int before = manager.CookieCollection().Count();
        if (line[0] == '1') {
            manager.AddSetCookie(value, host);
        } else if (line[0] == '2') {
            try {
                manager.AddSetCookie2(value, host);
            } catch (const w20::EConvertError&) {
                Require(manager.CookieCollection().Count() == before);
            }
        } else {
            const std::string header = manager.BuildCookieHeader(w20::TIdURI(value), line[0] == 's');
            Require(header.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        }
        Require(manager.CookieCollection().Count() <= before + 1 || line[0] != '1');
    }
    return 0;
}
