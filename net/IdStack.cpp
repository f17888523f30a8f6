#include "net/IdStack.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>
#include <optional>

#include "base/Format.h"
#include "base/Strings.h"
#include "net/IdExceptions.h"

namespace w20 {

namespace {

struct CodeText {
    std::int32_t code;
    const char* text;
};

constexpr CodeText ErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},  // the trailing blank is part of the text
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},  // without a full stop
};

const char* TableText(std::int32_t code) {
    for (const CodeText& entry : ErrorTexts) {
        if (entry.code == code)
            return entry.text;
    }
    return "";
}

std::uint16_t SwapBytes(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

std::uint32_t SwapBytes(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

constexpr bool HostIsBigEndian = std::endian::native == std::endian::big;

}  // namespace

TSocket TIdSocketList::Items(std::int32_t index) const {
    if (index < 0 || index >= count_)
        throw EIdStackSetSizeExceeded();
    return sockets_[static_cast<std::size_t>(index)];
}

void TIdSocketList::Add(TSocket socket) {
    if (count_ >= Capacity)
        throw EIdStackSetSizeExceeded();
    sockets_[static_cast<std::size_t>(count_++)] = socket;
}

void TIdSocketList::Remove(TSocket socket) {
    for (std::int32_t i = 0; i < count_; ++i) {
        if (sockets_[static_cast<std::size_t>(i)] == socket) {
            sockets_[static_cast<std::size_t>(i)] = sockets_[static_cast<std::size_t>(--count_)];
            return;
        }
    }
}

std::string TIdStack::FirstLocalAddress() {
    const std::vector<std::string>& addresses = LocalAddresses();
    return addresses.empty() ? std::string() : addresses.front();
}

const std::vector<std::string>& TIdStack::LocalAddresses() {
    RefreshLocalAddresses();
    return localAddressList_;
}

std::uint16_t TIdStack::HostToNetPort(std::uint16_t value) {
    return HostIsBigEndian ? value : SwapBytes(value);
}

std::uint16_t TIdStack::NetToHostPort(std::uint16_t value) {
    return HostIsBigEndian ? value : SwapBytes(value);
}

std::uint32_t TIdStack::HostToNetLong(std::uint32_t value) {
    return HostIsBigEndian ? value : SwapBytes(value);
}

std::uint32_t TIdStack::NetToHostLong(std::uint32_t value) {
    return HostIsBigEndian ? value : SwapBytes(value);
}

std::string TIdStack::SocketErrorText(std::int32_t code) {
    return Format("Socket Error # %d\r\n%s", code, TableText(code));
}

std::string TIdStack::AddressToText(const TIdIPv4Bytes& bytes) {
    return FormatAddress(bytes);
}

std::string TIdStack::AddressToText(const TIdIPAddress& address) {
    return address.ipv6 ? FormatIPv6(address.bytes) : AddressToText(address.V4Bytes());
}

void TIdStack::TextToAddress(const std::string& text, TIdIPv4Bytes& bytes) {
    if (!ParseAddressText(text, bytes))
        throw EIdInvalidIPAddress(text);
}

void TIdStack::TextToAddress(const std::string& text, TIdIPAddress& address) {
    if (text.find(':') == std::string::npos) {
        TIdIPv4Bytes bytes;
        TextToAddress(text, bytes);
        address = TIdIPAddress::V4(bytes);
    } else if (!ParseIPAddressText(text, address)) {
        throw EIdInvalidIPAddress(text);
    }
}

bool TIdStack::CheckSocketResult(std::int32_t result, std::initializer_list<std::int32_t> tolerated) {
    if (result != -1)
        return false;
    const std::int32_t code = LastSocketError();
    lastSocketErrorCode_ = code;
    if (std::find(tolerated.begin(), tolerated.end(), code) != tolerated.end())
        return true;
    ThrowSocketError(code);
}

void TIdStack::ThrowSocketError(std::int32_t code) {
    throw EIdSocketError(code, SocketErrorText(code));
}

TSocket TIdStack::CreateInetSocket(std::int32_t type, std::int32_t protocol, std::int32_t family) {
    const TSocket socket = NewSocket(family, type, protocol);
    if (socket == -1)
        throw EIdInvalidSocket();
    return socket;
}

std::optional<std::string> TIdStack::LiteralAddress(const std::string& host) {
    if (SameText(host, "LOCALHOST"))
        return "127.0.0.1";
    if (IsAddressText(host))
        return host;
    // No name holds a colon: an IPv6 text with a zone ("fe80::1%eth0") or a typing error, which
    // the name service must not be asked about.
    if (host.find(':') != std::string::npos)
        throw EIdInvalidIPAddress(host);
    return std::nullopt;
}

std::string TIdStack::LookupHost(const std::string& host) {
    const std::optional<std::string> literal = LiteralAddress(host);
    return literal ? *literal : HostNameToAddress(host);
}

TIdHostLookup TIdStack::LookupHostAddresses(const std::string& host) {
    const std::optional<std::string> literal = LiteralAddress(host);
    return literal ? TIdHostLookup(std::vector<std::string>{*literal}) : StartHostLookup(host);
}

bool TIdStack::IsAddressText(const std::string& text) {
    TIdIPAddress address;
    return ParseIPAddressText(text, address);
}

std::uint32_t TIdStack::TextToAddressValue(const std::string& text) {
    TIdIPv4Bytes bytes;
    TextToAddress(text, bytes);
    std::uint32_t value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

namespace {

// Guards the count of holders together with the creation and freeing of the shared stack.
std::mutex& SharedStackLock() {
    static std::mutex lock;
    return lock;
}

std::int32_t holders = 0;
std::unique_ptr<TIdStack> sharedStackOwner;
std::atomic<TIdStack*> sharedStack = nullptr;
TIdStackClass stackClass;

}  // namespace

TIdStack* SharedStack() {
    return sharedStack.load();
}

TIdStack& RequireSharedStack() {
    TIdStack* stack = SharedStack();
    if (stack == nullptr)
        throw EIdStackError("No network component holds the socket layer.");
    return *stack;
}

void SetStackClass(TIdStackClass newClass) {
    const std::lock_guard<std::mutex> lock(SharedStackLock());
    stackClass = std::move(newClass);
}

void HoldSharedStack() {
    const std::lock_guard<std::mutex> lock(SharedStackLock());
    if (holders == 0) {
        sharedStackOwner = stackClass ? stackClass() : NewPlatformStack();
        sharedStack = sharedStackOwner.get();
    }
    ++holders;
}

void ReleaseSharedStack() {
    const std::lock_guard<std::mutex> lock(SharedStackLock());
    if (holders == 0)
        return;
    if (--holders == 0) {
        sharedStack = nullptr;
        sharedStackOwner.reset();
    }
}

std::int32_t SharedStackHolders() {
    const std::lock_guard<std::mutex> lock(SharedStackLock());
    return holders;
}

}  // namespace w20
