#include <windows.h>

#include "base/DateTime.h"
#include "base/LargePages.h"
#include "base/Platform.h"

namespace w20::platform {
namespace {

int LastError() {
    return IoErrorCodeFromSystem(static_cast<int>(GetLastError()));
}

HANDLE Native(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FileHandle Handle(HANDLE native) {
    return reinterpret_cast<FileHandle>(native);
}

// File names are 8-bit text in the user's code page.
std::wstring Wide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

int Open(const std::string& name, DWORD access, DWORD disposition, FileHandle& file) {
    // A name with a NUL byte would open another, shorter name.
    if (name.find('\0') != std::string::npos)
        return 3;
    const HANDLE native = CreateFileW(Wide(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (native == INVALID_HANDLE_VALUE)
        return LastError();
    file = Handle(native);
    return 0;
}

}  // namespace

// Windows reports its own codes, which the runtime takes as they are; only the two kinds of a full
// disk become the runtime's "Disk full".
int IoErrorCodeFromSystem(int code) {
    switch (code) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return 101;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return 3;
        case ERROR_ALREADY_EXISTS:
            return ERROR_FILE_EXISTS;
        default:
            return code;
    }
}

int OpenToRead(const std::string& name, FileHandle& file) {
    return Open(name, GENERIC_READ, OPEN_EXISTING, file);
}

int ReadSome(FileHandle file, char* buffer, std::size_t size, std::size_t& got) {
    DWORD read = 0;
    const DWORD wanted = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    if (!ReadFile(Native(file), buffer, wanted, &read, nullptr))
        return LastError();
    got = read;
    return 0;
}

int WriteAll(FileHandle file, const char* bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t left = size - done;
        const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(Native(file), bytes + done, chunk, &written, nullptr))
            return LastError();
        if (written == 0)
            return 101;  // nothing more fits
        done += written;
    }
    return 0;
}

int Commit(FileHandle file) {
    return FlushFileBuffers(Native(file)) ? 0 : LastError();
}

int CloseFile(FileHandle file) {
    return CloseHandle(Native(file)) ? 0 : LastError();
}

// Opening a name follows the links of Windows by itself.
std::string FollowLinks(const std::string& name) {
    return name;
}

std::string FolderOf(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

int ProbeWritable(const std::string& path, bool& exists, bool& otherNames) {
    exists = false;
    otherNames = false;
    FileHandle file = NoFile;
    const int code = Open(path, GENERIC_WRITE, OPEN_EXISTING, file);
    if (code == ERROR_FILE_NOT_FOUND)
        return 0;
    if (code != 0)
        return code;
    exists = true;
    BY_HANDLE_FILE_INFORMATION info{};
    otherNames = GetFileInformationByHandle(Native(file), &info) && info.nNumberOfLinks > 1;
    CloseHandle(Native(file));
    return 0;
}

int CreateNew(const std::string& path, FileHandle& file) {
    return Open(path, GENERIC_WRITE, CREATE_NEW, file);
}

int OpenInPlace(const std::string& path, FileHandle& file) {
    return Open(path, GENERIC_WRITE, OPEN_ALWAYS, file);
}

int TruncateToZero(FileHandle file) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(Native(file), start, nullptr, FILE_BEGIN) || !SetEndOfFile(Native(file)))
        return LastError();
    return 0;
}

// A plain rename fails when the target exists; this move replaces it in one step.
int ReplaceWith(const std::string& complete, const std::string& target) {
    if (!MoveFileExW(Wide(complete).c_str(), Wide(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return LastError();
    }
    return 0;
}

void RemoveQuietly(const std::string& path) {
    DeleteFileW(Wide(path).c_str());
}

ClockReading ReadLocalClock() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return ClockReading{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                        now.wMinute, now.wSecond, now.wMilliseconds};
}

bool LocalOffsetSeconds(std::time_t, long& secondsEast) {
    TIME_ZONE_INFORMATION zone{};
    const DWORD state = GetTimeZoneInformation(&zone);
    if (state == TIME_ZONE_ID_INVALID)
        return false;
    const TZoneState inEffect = state == TIME_ZONE_ID_STANDARD   ? zsStandard
                                : state == TIME_ZONE_ID_DAYLIGHT ? zsDaylight
                                                                 : zsUnknown;
    secondsEast = SecondsEastOfBias(TTimeZoneBias{zone.Bias, zone.StandardBias, zone.DaylightBias, inEffect});
    return true;
}

}  // namespace w20::platform

namespace w20 {

// Windows gives large pages only to memory allocated for them by a process holding the right to
// lock pages; a heap block cannot ask for them afterwards, so its pages stay as they are.
void AskForLargePages(void* block, std::size_t size) {
    static_cast<void>(block);
    static_cast<void>(size);
}

}  // namespace w20
