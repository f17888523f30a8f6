#pragma once

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>

#include "quotes/ExportWriters.h"
#include "tests/quotes/FakeWindow.h"
#include "tests/support/TempDir.h"

// What the export writer tests share: the writers by format, the folder's files, the bar lines.
namespace w20::test {

using Files = std::map<std::string, std::string>;

enum class Format { MetaStock, Omega };

inline Configuration Mode(std::string periodMode) {
    Configuration config;
    config.PeriodMode = std::move(periodMode);
    return config;
}

inline void Write(Format format, FakeWindow& window, const Configuration& config) {
    if (format == Format::MetaStock) {
        WriteMetaStockFile(window);
    } else {
        WriteOmegaFiles(window, config);
    }
}

inline Files FolderFiles(const std::string& folder) {
    Files files;
    const std::string names = ListFolder(folder);
    for (std::size_t start = 0; start < names.size();) {
        std::size_t end = names.find(' ', start);
        if (end == std::string::npos)
            end = names.size();
        const std::string name = names.substr(start, end - start);
        const std::string path = folder + "/" + name;
        files[name] = std::filesystem::is_directory(path) ? "<folder>" : ReadFileBytes(path);
        start = end + 1;
    }
    return files;
}

inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

inline const std::string Header = "Ticker,Per,Date,Time,Open,High,Low,Close,Volume";
inline const std::string Index1 = "W20[VOR],5,20020926,0930,1234.00,1236.50,1230.00,1235.00,1200";
inline const std::string Index2 = "W20[VOR],5,20020926,0935,1235.00,1237.00,1234.50,1236.00,900";
inline const std::string Future1 = "FW20[VOR],5,20020926,0930,1230.50,1231.00,1229.00,1230.00,17";
inline const std::string Future2 = "FW20[VOR],5,20020926,0935,1230.00,1232.00,1229.50,1231.50,4";

}  // namespace w20::test
