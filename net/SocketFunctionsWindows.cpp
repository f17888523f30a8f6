#include <cstring>

#include "base/Format.h"
#include "base/Strings.h"
#include "net/IdHostLookup.h"
#include "net/SocketErrorMap.h"
#include "net/SocketFunctions.h"
#include "net/WinsockBinding.h"

namespace w20 {

namespace {

constexpr const char* LibraryFileName = "WS2_32.DLL";
constexpr std::uint32_t NotInitialised = 10093;

std::atomic<HMODULE> library{nullptr};

// Function addresses change type through the one type that matches every function.
template <typename To, typename From>
To FunctionCast(From function) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

// The stub of one row: binds the row, then makes the caller's call with its arguments as given.
template <TEntryPoint Row, typename Function>
struct StubOf;

template <TEntryPoint Row, typename Result, typename... Arguments>
struct StubOf<Row, Result(WSAAPI*)(Arguments...)> {
    static Result WSAAPI Call(Arguments... arguments) {
        return FunctionCast<Result(WSAAPI*)(Arguments...)>(BindEntryPoint(Row))(arguments...);
    }
};

template <TEntryPoint Row, typename Function>
TEntryPointRow MakeRow(const char* name) {
    return TEntryPointRow(name, FunctionCast<FARPROC>(&StubOf<Row, Function>::Call));
}

}  // namespace

std::string SystemErrorText(std::uint32_t code) {
    if (code == 0)
        return {};
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? Trim(std::string_view(text, length)) : std::string();
    LocalFree(text);
    return message;
}

namespace {

std::string CallTitle(const char* name) {
    return Format("Error on call Winsock2 library function %s", name);
}

// Unloads the library at program end, after the socket layer's clean-up: this object is made
// before any socket layer object, so it goes after them.
struct LibraryRelease {
    // A lookup still resolving keeps the library loaded; the process's end reclaims it.
    ~LibraryRelease() { TIdHostLookup::UnlessResolving(UnloadSocketLibrary); }
} libraryRelease;

}  // namespace

TEntryPointRow* EntryPointTable() {
    // Every place holds its own row's stub until the row is bound.
    static TEntryPointRow rows[] = {
        MakeRow<epWSACleanup, decltype(&::WSACleanup)>("WSACleanup"),
        MakeRow<epaccept, decltype(&::accept)>("accept"),
        MakeRow<epbind, decltype(&::bind)>("bind"),
        MakeRow<epclosesocket, decltype(&::closesocket)>("closesocket"),
        MakeRow<epconnect, decltype(&::connect)>("connect"),
        MakeRow<epioctlsocket, decltype(&::ioctlsocket)>("ioctlsocket"),
        MakeRow<epgetpeername, decltype(&::getpeername)>("getpeername"),
        MakeRow<epgetsockname, decltype(&::getsockname)>("getsockname"),
        MakeRow<epgetsockopt, decltype(&::getsockopt)>("getsockopt"),
        MakeRow<ephtonl, decltype(&::htonl)>("htonl"),
        MakeRow<ephtons, decltype(&::htons)>("htons"),
        MakeRow<epinet_addr, decltype(&::inet_addr)>("inet_addr"),
        MakeRow<epinet_ntoa, decltype(&::inet_ntoa)>("inet_ntoa"),
        MakeRow<eplisten, decltype(&::listen)>("listen"),
        MakeRow<epntohl, decltype(&::ntohl)>("ntohl"),
        MakeRow<epntohs, decltype(&::ntohs)>("ntohs"),
        MakeRow<eprecv, decltype(&::recv)>("recv"),
        MakeRow<eprecvfrom, decltype(&::recvfrom)>("recvfrom"),
        MakeRow<epselect, decltype(&::select)>("select"),
        MakeRow<epsend, decltype(&::send)>("send"),
        MakeRow<epsendto, decltype(&::sendto)>("sendto"),
        MakeRow<epsetsockopt, decltype(&::setsockopt)>("setsockopt"),
        MakeRow<epshutdown, decltype(&::shutdown)>("shutdown"),
        MakeRow<epsocket, decltype(&::socket)>("socket"),
        MakeRow<epgethostbyaddr, decltype(&::gethostbyaddr)>("gethostbyaddr"),
        MakeRow<epgethostbyname, decltype(&::gethostbyname)>("gethostbyname"),
        MakeRow<epgethostname, decltype(&::gethostname)>("gethostname"),
        MakeRow<epgetservbyport, decltype(&::getservbyport)>("getservbyport"),
        MakeRow<epgetservbyname, decltype(&::getservbyname)>("getservbyname"),
        MakeRow<epgetprotobynumber, decltype(&::getprotobynumber)>("getprotobynumber"),
        MakeRow<epgetprotobyname, decltype(&::getprotobyname)>("getprotobyname"),
        MakeRow<epWSASetLastError, decltype(&::WSASetLastError)>("WSASetLastError"),
        MakeRow<epWSAGetLastError, decltype(&::WSAGetLastError)>("WSAGetLastError"),
        MakeRow<epWSAIsBlocking, decltype(&::WSAIsBlocking)>("WSAIsBlocking"),
        MakeRow<epWSAUnhookBlockingHook, decltype(&::WSAUnhookBlockingHook)>("WSAUnhookBlockingHook"),
        MakeRow<epWSASetBlockingHook, decltype(&::WSASetBlockingHook)>("WSASetBlockingHook"),
        MakeRow<epWSACancelBlockingCall, decltype(&::WSACancelBlockingCall)>("WSACancelBlockingCall"),
        MakeRow<epWSAAsyncGetServByName, decltype(&::WSAAsyncGetServByName)>("WSAAsyncGetServByName"),
        MakeRow<epWSAAsyncGetServByPort, decltype(&::WSAAsyncGetServByPort)>("WSAAsyncGetServByPort"),
        MakeRow<epWSAAsyncGetProtoByName, decltype(&::WSAAsyncGetProtoByName)>("WSAAsyncGetProtoByName"),
        MakeRow<epWSAAsyncGetProtoByNumber, decltype(&::WSAAsyncGetProtoByNumber)>(
            "WSAAsyncGetProtoByNumber"),
        MakeRow<epWSAAsyncGetHostByName, decltype(&::WSAAsyncGetHostByName)>("WSAAsyncGetHostByName"),
        MakeRow<epWSAAsyncGetHostByAddr, decltype(&::WSAAsyncGetHostByAddr)>("WSAAsyncGetHostByAddr"),
        MakeRow<epWSACancelAsyncRequest, decltype(&::WSACancelAsyncRequest)>("WSACancelAsyncRequest"),
        MakeRow<epWSAAsyncSelect, decltype(&::WSAAsyncSelect)>("WSAAsyncSelect"),
        MakeRow<epWSAFDIsSet, decltype(&::__WSAFDIsSet)>("__WSAFDIsSet"),
        MakeRow<epWSAAccept, decltype(&::WSAAccept)>("WSAAccept"),
        MakeRow<epWSACloseEvent, decltype(&::WSACloseEvent)>("WSACloseEvent"),
        MakeRow<epWSAConnect, decltype(&::WSAConnect)>("WSAConnect"),
        MakeRow<epWSACreateEvent, decltype(&::WSACreateEvent)>("WSACreateEvent"),
        MakeRow<epWSADuplicateSocketA, decltype(&::WSADuplicateSocketA)>("WSADuplicateSocketA"),
        MakeRow<epWSADuplicateSocketW, decltype(&::WSADuplicateSocketW)>("WSADuplicateSocketW"),
        MakeRow<epWSAEnumNetworkEvents, decltype(&::WSAEnumNetworkEvents)>("WSAEnumNetworkEvents"),
        MakeRow<epWSAEnumProtocolsA, decltype(&::WSAEnumProtocolsA)>("WSAEnumProtocolsA"),
        MakeRow<epWSAEnumProtocolsW, decltype(&::WSAEnumProtocolsW)>("WSAEnumProtocolsW"),
        MakeRow<epWSAEventSelect, decltype(&::WSAEventSelect)>("WSAEventSelect"),
        MakeRow<epWSAGetOverlappedResult, decltype(&::WSAGetOverlappedResult)>("WSAGetOverlappedResult"),
        MakeRow<epWSAGetQosByName, decltype(&::WSAGetQOSByName)>("WSAGetQosByName"),
        MakeRow<epWSAHtonl, decltype(&::WSAHtonl)>("WSAHtonl"),
        MakeRow<epWSAHtons, decltype(&::WSAHtons)>("WSAHtons"),
        MakeRow<epWSAIoctl, decltype(&::WSAIoctl)>("WSAIoctl"),
        MakeRow<epWSAJoinLeaf, decltype(&::WSAJoinLeaf)>("WSAJoinLeaf"),
        MakeRow<epWSANtohl, decltype(&::WSANtohl)>("WSANtohl"),
        MakeRow<epWSANtohs, decltype(&::WSANtohs)>("WSANtohs"),
        MakeRow<epWSARecv, decltype(&::WSARecv)>("WSARecv"),
        MakeRow<epWSARecvDisconnect, decltype(&::WSARecvDisconnect)>("WSARecvDisconnect"),
        MakeRow<epWSARecvFrom, decltype(&::WSARecvFrom)>("WSARecvFrom"),
        MakeRow<epWSAResetEvent, decltype(&::WSAResetEvent)>("WSAResetEvent"),
        MakeRow<epWSASend, decltype(&::WSASend)>("WSASend"),
        MakeRow<epWSASendDisconnect, decltype(&::WSASendDisconnect)>("WSASendDisconnect"),
        MakeRow<epWSASendTo, decltype(&::WSASendTo)>("WSASendTo"),
        MakeRow<epWSASetEvent, decltype(&::WSASetEvent)>("WSASetEvent"),
        MakeRow<epWSASocketA, decltype(&::WSASocketA)>("WSASocketA"),
        MakeRow<epWSASocketW, decltype(&::WSASocketW)>("WSASocketW"),
        MakeRow<epWSAWaitForMultipleEvents, decltype(&::WSAWaitForMultipleEvents)>(
            "WSAWaitForMultipleEvents"),
        MakeRow<epWSAAddressToStringA, decltype(&::WSAAddressToStringA)>("WSAAddressToStringA"),
        MakeRow<epWSAAddressToStringW, decltype(&::WSAAddressToStringW)>("WSAAddressToStringW"),
        MakeRow<epWSAStringToAddressA, decltype(&::WSAStringToAddressA)>("WSAStringToAddressA"),
        MakeRow<epWSAStringToAddressW, decltype(&::WSAStringToAddressW)>("WSAStringToAddressW"),
        MakeRow<epWSALookupServiceBeginA, decltype(&::WSALookupServiceBeginA)>("WSALookupServiceBeginA"),
        MakeRow<epWSALookupServiceBeginW, decltype(&::WSALookupServiceBeginW)>("WSALookupServiceBeginW"),
        MakeRow<epWSALookupServiceNextA, decltype(&::WSALookupServiceNextA)>("WSALookupServiceNextA"),
        MakeRow<epWSALookupServiceNextW, decltype(&::WSALookupServiceNextW)>("WSALookupServiceNextW"),
        MakeRow<epWSALookupServiceEnd, decltype(&::WSALookupServiceEnd)>("WSALookupServiceEnd"),
        MakeRow<epWSAInstallServiceClassA, decltype(&::WSAInstallServiceClassA)>("WSAInstallServiceClassA"),
        MakeRow<epWSAInstallServiceClassW, decltype(&::WSAInstallServiceClassW)>("WSAInstallServiceClassW"),
        MakeRow<epWSARemoveServiceClass, decltype(&::WSARemoveServiceClass)>("WSARemoveServiceClass"),
        MakeRow<epWSAGetServiceClassInfoA, decltype(&::WSAGetServiceClassInfoA)>("WSAGetServiceClassInfoA"),
        MakeRow<epWSAGetServiceClassInfoW, decltype(&::WSAGetServiceClassInfoW)>("WSAGetServiceClassInfoW"),
        MakeRow<epWSAEnumNameSpaceProvidersA, decltype(&::WSAEnumNameSpaceProvidersA)>(
            "WSAEnumNameSpaceProvidersA"),
        MakeRow<epWSAEnumNameSpaceProvidersW, decltype(&::WSAEnumNameSpaceProvidersW)>(
            "WSAEnumNameSpaceProvidersW"),
        MakeRow<epWSAGetServiceClassNameByClassIdA, decltype(&::WSAGetServiceClassNameByClassIdA)>(
            "WSAGetServiceClassNameByClassIdA"),
        MakeRow<epWSAGetServiceClassNameByClassIdW, decltype(&::WSAGetServiceClassNameByClassIdW)>(
            "WSAGetServiceClassNameByClassIdW"),
        MakeRow<epWSASetServiceA, decltype(&::WSASetServiceA)>("WSASetServiceA"),
        MakeRow<epWSASetServiceW, decltype(&::WSASetServiceW)>("WSASetServiceW"),
        MakeRow<epWSAProviderConfigChange, decltype(&::WSAProviderConfigChange)>("WSAProviderConfigChange"),
        MakeRow<epWSADuplicateSocket, decltype(&::WSADuplicateSocketA)>("WSADuplicateSocketA"),
        MakeRow<epWSAEnumProtocols, decltype(&::WSAEnumProtocolsA)>("WSAEnumProtocolsA"),
        MakeRow<epWSASocket, decltype(&::WSASocketA)>("WSASocketA"),
        MakeRow<epWSAAddressToString, decltype(&::WSAAddressToStringA)>("WSAAddressToStringA"),
        MakeRow<epWSAStringToAddress, decltype(&::WSAStringToAddressA)>("WSAStringToAddressA"),
        MakeRow<epWSALookupServiceBegin, decltype(&::WSALookupServiceBeginA)>("WSALookupServiceBeginA"),
        MakeRow<epWSALookupServiceNext, decltype(&::WSALookupServiceNextA)>("WSALookupServiceNextA"),
        MakeRow<epWSAInstallServiceClass, decltype(&::WSAInstallServiceClassA)>("WSAInstallServiceClassA"),
        MakeRow<epWSAGetServiceClassInfo, decltype(&::WSAGetServiceClassInfoA)>("WSAGetServiceClassInfoA"),
        MakeRow<epWSAEnumNameSpaceProviders, decltype(&::WSAEnumNameSpaceProvidersA)>(
            "WSAEnumNameSpaceProvidersA"),
        MakeRow<epWSAGetServiceClassNameByClassId, decltype(&::WSAGetServiceClassNameByClassIdA)>(
            "WSAGetServiceClassNameByClassIdA"),
        MakeRow<epWSASetService, decltype(&::WSASetServiceA)>("WSASetServiceA"),
        MakeRow<epTransmitFile, decltype(&::TransmitFile)>("TransmitFile"),
        MakeRow<epAcceptEx, decltype(&::AcceptEx)>("AcceptEx"),
        MakeRow<epGetAcceptExSockaddrs, decltype(&::GetAcceptExSockaddrs)>("GetAcceptExSockaddrs"),
        MakeRow<epWSARecvEx, decltype(&::WSARecvEx)>("WSARecvEx"),
        MakeRow<epgetaddrinfo, decltype(&::getaddrinfo)>("getaddrinfo"),
        MakeRow<epfreeaddrinfo, decltype(&::freeaddrinfo)>("freeaddrinfo"),
        MakeRow<epgetnameinfo, decltype(&::getnameinfo)>("getnameinfo"),
    };
    static_assert(sizeof rows / sizeof rows[0] == EntryPointCount);
    return rows;
}

FARPROC BindEntryPoint(TEntryPoint row) {
    TEntryPointRow& entry = EntryPointTable()[row];
    const HMODULE loaded = library.load();
    if (loaded == nullptr)
        throw EIdWS2StubError(CallTitle(entry.Name), NotInitialised);
    // A name the library does not export leaves the place as it was: the stub never calls
    // through an empty address.
    const FARPROC address = GetProcAddress(loaded, entry.Name);
    if (address == nullptr)
        throw EIdWS2StubError(CallTitle(entry.Name), GetLastError());
    entry.Place.store(address, std::memory_order_relaxed);
    return address;
}

int StartSocketLibrary(std::uint16_t version, WSADATA& data) {
    return StartSocketLibraryFrom(LibraryFileName, version, data);
}

int StartSocketLibraryFrom(const char* fileName, std::uint16_t version, WSADATA& data) {
    HMODULE loaded = library.load();
    if (loaded != nullptr)
        return 0;
    loaded = LoadLibraryA(fileName);
    if (loaded == nullptr)
        throw EIdWS2StubError(Format("Error on loading Winsock2 library (%s)", fileName), GetLastError());
    HMODULE expected = nullptr;
    if (!library.compare_exchange_strong(expected, loaded)) {
        FreeLibrary(loaded);  // another thread loaded it first
        return 0;
    }
    const auto startup = FunctionCast<decltype(&::WSAStartup)>(GetProcAddress(loaded, "WSAStartup"));
    if (startup == nullptr)
        throw EIdWS2StubError(CallTitle("WSAStartup"), GetLastError());
    return startup(version, &data);
}

bool SocketLibraryLoaded() {
    return library.load() != nullptr;
}

void UnloadSocketLibrary() {
    const HMODULE loaded = library.exchange(nullptr);
    if (loaded == nullptr)
        return;
    FreeLibrary(loaded);
    TEntryPointRow* rows = EntryPointTable();
    for (int row = 0; row < EntryPointCount; ++row)
        rows[row].Place.store(rows[row].Stub, std::memory_order_relaxed);
}

namespace {

// The library's own byte-order calls would bind rows; ports and addresses are turned here.
std::uint16_t SwapPort(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

template <TEntryPoint Row, typename Function>
Function Bound() {
    return EntryPoint<Row, Function>();
}

std::int32_t FailWith(std::int32_t code) {
    Bound<epWSASetLastError, decltype(&::WSASetLastError)>()(code);
    return -1;
}

// The record in the library's form (whose family numbers are the table's); returns its length.
int ToNative(const SocketAddress& address, sockaddr_storage& native) {
    native = {};
    if (address.family == AF_INET6) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(native);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = address.port;
        std::memcpy(&in6.sin6_addr, address.address.data(), 16);
        return sizeof in6;
    }
    auto& in = reinterpret_cast<sockaddr_in&>(native);
    in.sin_family = static_cast<ADDRESS_FAMILY>(address.family);
    in.sin_port = address.port;
    std::memcpy(&in.sin_addr, address.address.data(), 4);
    return sizeof in;
}

SocketAddress FromNative(const sockaddr_storage& native) {
    SocketAddress address;
    address.family = static_cast<std::int16_t>(native.ss_family);
    if (native.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(native);
        address.port = in6.sin6_port;
        std::memcpy(address.address.data(), &in6.sin6_addr, 16);
        return address;
    }
    const auto& in = reinterpret_cast<const sockaddr_in&>(native);
    address.port = in.sin_port;
    std::memcpy(address.address.data(), &in.sin_addr, 4);
    return address;
}

SOCKET Native(TSocket socket) {
    return static_cast<SOCKET>(socket);
}

// SOCKET_ERROR is -1 already; a new socket's INVALID_SOCKET becomes -1 as a signed value.
TSocket FromNative(SOCKET socket) {
    return static_cast<TSocket>(socket);
}

int Startup(std::uint16_t version) {
    WSADATA data{};  // nothing reads it afterwards
    return StartSocketLibrary(version, data);
}

int Cleanup() {
    return Bound<epWSACleanup, decltype(&::WSACleanup)>()();
}

std::int32_t LastError() {
    return Bound<epWSAGetLastError, decltype(&::WSAGetLastError)>()();
}

void SetLastError(std::int32_t code) {
    Bound<epWSASetLastError, decltype(&::WSASetLastError)>()(code);
}

TSocket Socket(std::int32_t family, std::int32_t type, std::int32_t protocol) {
    return FromNative(Bound<epsocket, decltype(&::socket)>()(family, type, protocol));
}

std::int32_t Bind(TSocket socket, const SocketAddress& address) {
    sockaddr_storage native;
    const int length = ToNative(address, native);
    return Bound<epbind, decltype(&::bind)>()(Native(socket), reinterpret_cast<const sockaddr*>(&native),
                                              length);
}

std::int32_t Connect(TSocket socket, const SocketAddress& address) {
    sockaddr_storage native;
    const int length = ToNative(address, native);
    return Bound<epconnect, decltype(&::connect)>()(Native(socket),
                                                    reinterpret_cast<const sockaddr*>(&native), length);
}

std::int32_t Listen(TSocket socket, std::int32_t backlog) {
    return Bound<eplisten, decltype(&::listen)>()(Native(socket), backlog);
}

TSocket Accept(TSocket socket, SocketAddress& peer) {
    sockaddr_storage native{};
    int length = sizeof native;
    const SOCKET result =
        Bound<epaccept, decltype(&::accept)>()(Native(socket), reinterpret_cast<sockaddr*>(&native), &length);
    if (result != INVALID_SOCKET)
        peer = FromNative(native);
    return FromNative(result);
}

// Windows raises no signal when the peer has gone: a send then fails with its code.
std::int32_t Send(TSocket socket, const void* buffer, std::int32_t length, std::int32_t flags) {
    return Bound<epsend, decltype(&::send)>()(Native(socket), static_cast<const char*>(buffer), length,
                                              flags);
}

std::int32_t Recv(TSocket socket, void* buffer, std::int32_t length, std::int32_t flags) {
    return Bound<eprecv, decltype(&::recv)>()(Native(socket), static_cast<char*>(buffer), length, flags);
}

std::int32_t SendTo(TSocket socket, const void* buffer, std::int32_t length, std::int32_t flags,
                    const SocketAddress& to) {
    sockaddr_storage native;
    const int size = ToNative(to, native);
    return Bound<epsendto, decltype(&::sendto)>()(Native(socket), static_cast<const char*>(buffer), length,
                                                  flags, reinterpret_cast<const sockaddr*>(&native), size);
}

std::int32_t RecvFrom(TSocket socket, void* buffer, std::int32_t length, std::int32_t flags,
                      SocketAddress& from) {
    sockaddr_storage native{};
    int size = sizeof native;
    const int result =
        Bound<eprecvfrom, decltype(&::recvfrom)>()(Native(socket), static_cast<char*>(buffer), length, flags,
                                                   reinterpret_cast<sockaddr*>(&native), &size);
    if (result != SOCKET_ERROR)
        from = FromNative(native);
    return result;
}

// The platform's socket set as select reads it: a count and up to 64 socket values.
bool AddToSet(fd_set& set, TSocket socket) {
    if (set.fd_count >= FD_SETSIZE)
        return false;
    set.fd_array[set.fd_count++] = Native(socket);
    return true;
}

bool InSet(const fd_set& set, TSocket socket) {
    for (u_int i = 0; i < set.fd_count; ++i) {
        if (set.fd_array[i] == Native(socket))
            return true;
    }
    return false;
}

std::int32_t Poll(SocketPollEntry* entries, std::int32_t count, std::int32_t timeoutMs) {
    fd_set read{}, write{}, except{};
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint16_t events = entries[i].events;
        if (((events & pollReadable) && !AddToSet(read, entries[i].socket)) ||
            ((events & pollWritable) && !AddToSet(write, entries[i].socket)) ||
            ((events & pollPriority) && !AddToSet(except, entries[i].socket))) {
            return FailWith(seInvalidArgument);
        }
    }
    // select refuses three empty sets: a wait on nothing is a plain sleep.
    if (read.fd_count + write.fd_count + except.fd_count == 0) {
        Sleep(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        return 0;
    }
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int result =
        Bound<epselect, decltype(&::select)>()(0, &read, &write, &except, timeoutMs < 0 ? nullptr : &limit);
    if (result == SOCKET_ERROR)
        return -1;
    std::int32_t found = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        // A socket may stand in several entries: each takes only the conditions it asked for.
        const TSocket socket = entries[i].socket;
        const std::uint16_t events = entries[i].events;
        entries[i].found =
            static_cast<std::uint16_t>(((events & pollReadable) && InSet(read, socket) ? pollReadable : 0) |
                                       ((events & pollWritable) && InSet(write, socket) ? pollWritable : 0) |
                                       ((events & pollPriority) && InSet(except, socket) ? pollPriority : 0));
        found += entries[i].found != 0 ? 1 : 0;
    }
    return found;
}

std::int32_t Shutdown(TSocket socket, std::int32_t direction) {
    return Bound<epshutdown, decltype(&::shutdown)>()(Native(socket), direction);
}

std::int32_t Close(TSocket socket) {
    return Bound<epclosesocket, decltype(&::closesocket)>()(Native(socket));
}

std::int32_t GetSockName(TSocket socket, SocketAddress& address) {
    sockaddr_storage native{};
    int length = sizeof native;
    const int result = Bound<epgetsockname, decltype(&::getsockname)>()(
        Native(socket), reinterpret_cast<sockaddr*>(&native), &length);
    if (result == 0)
        address = FromNative(native);
    return result;
}

std::int32_t GetPeerName(TSocket socket, SocketAddress& address) {
    sockaddr_storage native{};
    int length = sizeof native;
    const int result = Bound<epgetpeername, decltype(&::getpeername)>()(
        Native(socket), reinterpret_cast<sockaddr*>(&native), &length);
    if (result == 0)
        address = FromNative(native);
    return result;
}

std::int32_t SetSockOpt(TSocket socket, std::int32_t level, std::int32_t option, const void* value,
                        std::int32_t length) {
    return Bound<epsetsockopt, decltype(&::setsockopt)>()(Native(socket), level, option,
                                                          static_cast<const char*>(value), length);
}

std::int32_t GetSockOpt(TSocket socket, std::int32_t level, std::int32_t option, void* value,
                        std::int32_t* length) {
    if (length == nullptr)
        return FailWith(seInvalidArgument);
    return Bound<epgetsockopt, decltype(&::getsockopt)>()(Native(socket), level, option,
                                                          static_cast<char*>(value), length);
}

std::int32_t SetBlocking(TSocket socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return Bound<epioctlsocket, decltype(&::ioctlsocket)>()(Native(socket), FIONBIO, &nonBlocking);
}

std::int32_t PendingError(TSocket socket) {
    int error = 0;
    int length = sizeof error;
    if (Bound<epgetsockopt, decltype(&::getsockopt)>()(Native(socket), SOL_SOCKET, SO_ERROR,
                                                       reinterpret_cast<char*>(&error), &length) != 0) {
        return -1;
    }
    return error;
}

std::int32_t GetHostName(char* buffer, std::int32_t length) {
    if (length <= 0)
        return FailWith(seInvalidArgument);
    if (Bound<epgethostname, decltype(&::gethostname)>()(buffer, length) != 0)
        return -1;
    buffer[length - 1] = '\0';
    return 0;
}

std::int32_t ResolveName(const std::string& name, std::vector<TIdIPAddress>& addresses) {
    addresses.clear();
    // The lookup reads a C string: a name with a NUL byte would be looked up cut short.
    if (name.find('\0') != std::string::npos)
        return FailWith(seHostNotFound);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
    addrinfo* answer = nullptr;
    const int result =
        Bound<epgetaddrinfo, decltype(&::getaddrinfo)>()(name.c_str(), nullptr, &hints, &answer);
    if (result != 0)
        return FailWith(result);
    for (const addrinfo* entry = answer; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
            TIdIPv4Bytes bytes;
            std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
            addresses.push_back(TIdIPAddress::V4(bytes));
        } else if (entry->ai_family == AF_INET6 && entry->ai_addrlen >= sizeof(sockaddr_in6)) {
            TIdIPv6Bytes bytes;
            std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in6*>(entry->ai_addr)->sin6_addr, 16);
            addresses.push_back(TIdIPAddress::V6(bytes));
        }
    }
    Bound<epfreeaddrinfo, decltype(&::freeaddrinfo)>()(answer);
    if (addresses.empty())
        return FailWith(seHostNotFound);
    return 0;
}

std::int32_t ResolveAddress(const TIdIPAddress& address, std::string& name) {
    sockaddr_storage native;
    const int length =
        ToNative(SocketAddress{.family = static_cast<std::int16_t>(address.ipv6 ? AF_INET6 : AF_INET),
                               .address = address.bytes},
                 native);
    char host[NI_MAXHOST];
    const int result = Bound<epgetnameinfo, decltype(&::getnameinfo)>()(
        reinterpret_cast<const sockaddr*>(&native), length, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    if (result != 0)
        return FailWith(result);
    name = host;
    return 0;
}

std::int32_t ServiceByName(const std::string& name, std::int32_t& port) {
    if (name.find('\0') != std::string::npos)
        return -1;
    const servent* entry = Bound<epgetservbyname, decltype(&::getservbyname)>()(name.c_str(), nullptr);
    if (entry == nullptr)
        return -1;
    port = SwapPort(static_cast<std::uint16_t>(entry->s_port));
    return 0;
}

std::int32_t ServiceByPort(std::int32_t port, std::vector<std::string>& names) {
    names.clear();
    if (port < 0 || port > 65535)
        return -1;
    const servent* entry = Bound<epgetservbyport, decltype(&::getservbyport)>()(
        SwapPort(static_cast<std::uint16_t>(port)), nullptr);
    if (entry == nullptr)
        return -1;
    names.emplace_back(entry->s_name);
    for (char** alias = entry->s_aliases; alias != nullptr && *alias != nullptr; ++alias)
        names.emplace_back(*alias);
    return 0;
}

constexpr SocketFunctions WindowsFunctions = {
    .Startup = Startup,
    .Cleanup = Cleanup,
    .LastError = LastError,
    .SetLastError = SetLastError,
    .Socket = Socket,
    .Bind = Bind,
    .Connect = Connect,
    .Listen = Listen,
    .Accept = Accept,
    .Send = Send,
    .Recv = Recv,
    .SendTo = SendTo,
    .RecvFrom = RecvFrom,
    .Poll = Poll,
    .Shutdown = Shutdown,
    .Close = Close,
    .GetSockName = GetSockName,
    .GetPeerName = GetPeerName,
    .SetSockOpt = SetSockOpt,
    .GetSockOpt = GetSockOpt,
    .SetBlocking = SetBlocking,
    .PendingError = PendingError,
    .GetHostName = GetHostName,
    .ResolveName = ResolveName,
    .ResolveAddress = ResolveAddress,
    .ServiceByName = ServiceByName,
    .ServiceByPort = ServiceByPort,
};

}  // namespace

const SocketFunctions& PlatformSocketFunctions() {
    return WindowsFunctions;
}

}  // namespace w20
