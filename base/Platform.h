#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// The operating system's side of base/: files, the clock and the time zone. Each platform has its
// own implementation (PlatformPosix.cpp, PlatformWindows.cpp), chosen by the build; the rules
// above these calls (lines, CR LF, error texts, replacing a file only when it is complete) are
// shared. Only base/ includes this header.
namespace w20::platform {

// An open file; NoFile when none.
using FileHandle = std::intptr_t;
constexpr FileHandle NoFile = -1;

// The file calls return 0 on success, otherwise the runtime's I/O error code of the failure
// (2 file not found, 3 invalid name, 5 access denied, 80 file exists, 101 disk full, ...).
int IoErrorCodeFromSystem(int code);

int OpenToRead(const std::string& name, FileHandle& file);
// got is 0 at the end of the file.
int ReadSome(FileHandle file, char* buffer, std::size_t size, std::size_t& got);
int WriteAll(FileHandle file, const char* bytes, std::size_t size);
// Makes what was written durable.
int Commit(FileHandle file);
int CloseFile(FileHandle file);

// The file a name stands for: links are followed, also to a file that does not exist yet.
std::string FollowLinks(const std::string& name);
// The folder part of a path, with its final separator; empty for a bare name.
std::string FolderOf(const std::string& path);
// Whether the file may be opened for writing: 0 when it may or does not exist. otherNames tells
// whether the file is reachable under further names (hard links).
int ProbeWritable(const std::string& path, bool& exists, bool& otherNames);
// A new file that did not exist before (80 when the name is taken).
int CreateNew(const std::string& path, FileHandle& file);
// The file itself, created when missing, its content left as it is.
int OpenInPlace(const std::string& path, FileHandle& file);
int TruncateToZero(FileHandle file);
// Puts the complete file in the target's place in one step, keeping the target's permissions.
int ReplaceWith(const std::string& complete, const std::string& target);
void RemoveQuietly(const std::string& path);

// The wall clock in the local zone.
struct ClockReading {
    int year, month, day, hour, minute, second, millisecond;
};
ClockReading ReadLocalClock();
// Seconds east of UTC in the local zone at `moment`; false when the zone cannot be read.
bool LocalOffsetSeconds(std::time_t moment, long& secondsEast);

}  // namespace w20::platform
