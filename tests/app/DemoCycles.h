#pragma once

#include <string>

// The cycles that the Windows window runs against the demo quote service and that the Linux build
// runs through the same handlers on a fake window: their export files must match byte for byte.
namespace w20::test {

struct DemoCycle {
    int interval;  // RadioGroup1's item
    int format;    // RadioGroup2's item
};
inline constexpr DemoCycle DemoCycles[] = {{0, 0}, {1, 1}, {2, 0}, {2, 1}};

// 26 September 2002, as the Polish regional settings of the test prefix write it.
inline constexpr int DemoYear = 2002, DemoMonth = 9, DemoDay = 26;
inline constexpr const char* DemoShortDate = "26.09.2002";

// data.txt for the demo service: the index WIG20 and its future FWIG20, as the service names them.
inline std::string DemoDataFile(const std::string& serviceUrl) {
    return serviceUrl + "\r\nWIG20\r\nFWIG20\r\nFWIG20\r\nWIG20\r\nnormal\r\n\r\n";
}

}  // namespace w20::test
