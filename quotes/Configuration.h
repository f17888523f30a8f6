#pragma once

#include <string>

namespace w20 {

// The six values of data.txt, byte for byte, read once at start-up.
struct Configuration {
    std::string ServiceUrl;
    std::string FirstInstrument;
    std::string FuturesTicker;
    std::string SecondInstrument;
    std::string IndexTicker;
    std::string PeriodMode;
};

}  // namespace w20
