#pragma once

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
// clang-format on

#include <atomic>
#include <cstdint>

#include "net/IdExceptions.h"

// The socket library of Windows, loaded by its file name when the socket layer starts and bound
// by name, one entry point at a time, on the first call of each. Nothing of it is linked in.
namespace w20 {

// The rows of EntryPointTable, in table order. The twelve rows after epWSAProviderConfigChange
// bind the character-set-neutral form of a function to its "A" name; the last three are the
// lookups of both address families.
enum TEntryPoint : int {
    epWSACleanup,
    epaccept,
    epbind,
    epclosesocket,
    epconnect,
    epioctlsocket,
    epgetpeername,
    epgetsockname,
    epgetsockopt,
    ephtonl,
    ephtons,
    epinet_addr,
    epinet_ntoa,
    eplisten,
    epntohl,
    epntohs,
    eprecv,
    eprecvfrom,
    epselect,
    epsend,
    epsendto,
    epsetsockopt,
    epshutdown,
    epsocket,
    epgethostbyaddr,
    epgethostbyname,
    epgethostname,
    epgetservbyport,
    epgetservbyname,
    epgetprotobynumber,
    epgetprotobyname,
    epWSASetLastError,
    epWSAGetLastError,
    epWSAIsBlocking,
    epWSAUnhookBlockingHook,
    epWSASetBlockingHook,
    epWSACancelBlockingCall,
    epWSAAsyncGetServByName,
    epWSAAsyncGetServByPort,
    epWSAAsyncGetProtoByName,
    epWSAAsyncGetProtoByNumber,
    epWSAAsyncGetHostByName,
    epWSAAsyncGetHostByAddr,
    epWSACancelAsyncRequest,
    epWSAAsyncSelect,
    epWSAFDIsSet,
    epWSAAccept,
    epWSACloseEvent,
    epWSAConnect,
    epWSACreateEvent,
    epWSADuplicateSocketA,
    epWSADuplicateSocketW,
    epWSAEnumNetworkEvents,
    epWSAEnumProtocolsA,
    epWSAEnumProtocolsW,
    epWSAEventSelect,
    epWSAGetOverlappedResult,
    epWSAGetQosByName,
    epWSAHtonl,
    epWSAHtons,
    epWSAIoctl,
    epWSAJoinLeaf,
    epWSANtohl,
    epWSANtohs,
    epWSARecv,
    epWSARecvDisconnect,
    epWSARecvFrom,
    epWSAResetEvent,
    epWSASend,
    epWSASendDisconnect,
    epWSASendTo,
    epWSASetEvent,
    epWSASocketA,
    epWSASocketW,
    epWSAWaitForMultipleEvents,
    epWSAAddressToStringA,
    epWSAAddressToStringW,
    epWSAStringToAddressA,
    epWSAStringToAddressW,
    epWSALookupServiceBeginA,
    epWSALookupServiceBeginW,
    epWSALookupServiceNextA,
    epWSALookupServiceNextW,
    epWSALookupServiceEnd,
    epWSAInstallServiceClassA,
    epWSAInstallServiceClassW,
    epWSARemoveServiceClass,
    epWSAGetServiceClassInfoA,
    epWSAGetServiceClassInfoW,
    epWSAEnumNameSpaceProvidersA,
    epWSAEnumNameSpaceProvidersW,
    epWSAGetServiceClassNameByClassIdA,
    epWSAGetServiceClassNameByClassIdW,
    epWSASetServiceA,
    epWSASetServiceW,
    epWSAProviderConfigChange,
    epWSADuplicateSocket,
    epWSAEnumProtocols,
    epWSASocket,
    epWSAAddressToString,
    epWSAStringToAddress,
    epWSALookupServiceBegin,
    epWSALookupServiceNext,
    epWSAInstallServiceClass,
    epWSAGetServiceClassInfo,
    epWSAEnumNameSpaceProviders,
    epWSAGetServiceClassNameByClassId,
    epWSASetService,
    epTransmitFile,
    epAcceptEx,
    epGetAcceptExSockaddrs,
    epWSARecvEx,
    epgetaddrinfo,
    epfreeaddrinfo,
    epgetnameinfo,
    EntryPointCount
};

// One row: the function's name, the place every caller calls through, and the row's stub, which
// binds the row on its first call and then continues that call.
struct TEntryPointRow {
    TEntryPointRow(const char* name, FARPROC stub) : Name(name), Place(stub), Stub(stub) {}

    const char* const Name;
    std::atomic<FARPROC> Place;
    const FARPROC Stub;
};

TEntryPointRow* EntryPointTable();

// Looks the row's name up in the loaded library and puts the address in the row's place.
// Raises EIdWS2StubError with "Error on call Winsock2 library function %s" when no library is
// loaded (code 10093) or the library does not export the name (the system's error code).
FARPROC BindEntryPoint(TEntryPoint row);

// The entry point of a row as the function type of its name, e.g.
// EntryPoint<epSelect, decltype(&::select)>().
template <TEntryPoint Row, typename Function>
Function EntryPoint() {
    const FARPROC place = EntryPointTable()[Row].Place.load(std::memory_order_relaxed);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(place));
}

// The start-up routine: loads the library once (a failure raises EIdWS2StubError with
// "Error on loading Winsock2 library (%s)" and the system's error code), then calls its
// WSAStartup. With the library already loaded it returns 0 at once.
int StartSocketLibrary(std::uint16_t version, WSADATA& data);
// The same with another file name, for tests of a library that cannot be loaded.
int StartSocketLibraryFrom(const char* fileName, std::uint16_t version, WSADATA& data);
bool SocketLibraryLoaded();
// Releases the library and puts every stub back; the program does this at its end.
void UnloadSocketLibrary();

}  // namespace w20
