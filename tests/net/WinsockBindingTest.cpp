#include "net/WinsockBinding.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/IdExceptions.h"
#include "net/IdStackWindows.h"
#include "net/SocketFunctions.h"

// The run-time binding of the socket library. This program uses no other socket code, so every
// test starts with the library unloaded and leaves it so.
namespace w20 {
namespace {

class WinsockBinding : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(SocketLibraryLoaded()); }
    void TearDown() override { UnloadSocketLibrary(); }
};

// The stub error of a call, or nothing when the call did not raise one.
template <typename Call>
std::optional<EIdWS2StubError> StubErrorOf(Call call) {
    try {
        call();
    } catch (const EIdWS2StubError& error) {
        return error;
    }
    return std::nullopt;
}

TEST_F(WinsockBinding, CallsBeforeStartUpRaiseTheRowsTitle) {
    const SocketFunctions& functions = PlatformSocketFunctions();
    const struct {
        const char* name;
        std::function<void()> call;
    } cases[] = {
        {"socket", [&] { functions.Socket(2, 1, 6); }},
        {"WSAGetLastError", [&] { functions.LastError(); }},
        {"select",
         [&] {
             SocketPollEntry entry{0, pollReadable, 0};
             functions.Poll(&entry, 1, 0);
         }},
        {"getaddrinfo",
         [&] {
             std::vector<TIdIPAddress> addresses;
             functions.ResolveName("localhost", addresses);
         }},
        {"WSACleanup", [&] { functions.Cleanup(); }},
    };
    for (const auto& c : cases) {
        const auto error = StubErrorOf(c.call);
        ASSERT_TRUE(error.has_value()) << c.name;
        const std::string title = std::string("Error on call Winsock2 library function ") + c.name;
        EXPECT_EQ(error->StubTitle(), title);
        EXPECT_EQ(error->OSErrorCode(), 10093u);
        // The system's text for 10093 follows the title; wine may have none.
        EXPECT_EQ(error->Message().substr(0, title.size() + 2), title + ": ");
    }
    EXPECT_FALSE(SocketLibraryLoaded());
}

TEST_F(WinsockBinding, ALibraryThatCannotBeLoadedGivesTheLoadingTitle) {
    WSADATA data{};
    const auto error = StubErrorOf([&] { StartSocketLibraryFrom("W20_NO_SUCH_LIBRARY.DLL", 0x0202, data); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->StubTitle(), "Error on loading Winsock2 library (W20_NO_SUCH_LIBRARY.DLL)");
    EXPECT_EQ(error->OSErrorCode(), static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(SocketLibraryLoaded());
}

TEST_F(WinsockBinding, EveryRowBindsAfterStartUpOrTellsItsTitle) {
    WSADATA data{};
    ASSERT_EQ(StartSocketLibrary(0x0202, data), 0);
    EXPECT_EQ(data.wVersion, 0x0202);
    // Started already: no second start-up call.
    WSADATA untouched{};
    EXPECT_EQ(StartSocketLibrary(0x0101, untouched), 0);
    EXPECT_EQ(untouched.wVersion, 0);

    TEntryPointRow* rows = EntryPointTable();
    const HMODULE library = GetModuleHandleA("WS2_32.DLL");
    ASSERT_NE(library, nullptr);
    int bound = 0;
    for (int row = 0; row < EntryPointCount; ++row) {
        SCOPED_TRACE(rows[row].Name);
        EXPECT_EQ(rows[row].Place.load(), rows[row].Stub);
        const FARPROC exported = GetProcAddress(library, rows[row].Name);
        const auto error = StubErrorOf([&] { BindEntryPoint(static_cast<TEntryPoint>(row)); });
        if (exported != nullptr) {
            EXPECT_FALSE(error.has_value());
            EXPECT_EQ(rows[row].Place.load(), exported);
            ++bound;
        } else {
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(error->StubTitle(),
                      std::string("Error on call Winsock2 library function ") + rows[row].Name);
            EXPECT_NE(error->OSErrorCode(), 0u);
            EXPECT_EQ(rows[row].Place.load(), rows[row].Stub);
        }
    }
    // The calls the program makes are all there.
    EXPECT_GE(bound, 90);
    EXPECT_NE(rows[epselect].Place.load(), rows[epselect].Stub);
    EXPECT_NE(rows[epgetaddrinfo].Place.load(), rows[epgetaddrinfo].Stub);
    EXPECT_EQ(std::string(rows[epWSASocket].Name), "WSASocketA");
    EXPECT_EQ(std::string(rows[epWSARecvEx].Name), "WSARecvEx");
}

TEST_F(WinsockBinding, AStubContinuesTheCallAndUnloadingPutsTheStubsBack) {
    WSADATA data{};
    ASSERT_EQ(StartSocketLibrary(0x0202, data), 0);
    const SocketFunctions& functions = PlatformSocketFunctions();
    TEntryPointRow& row = EntryPointTable()[epWSAGetLastError];
    ASSERT_EQ(row.Place.load(), row.Stub);
    functions.SetLastError(10054);
    EXPECT_EQ(functions.LastError(), 10054);  // through the stub, which binds the row
    EXPECT_NE(row.Place.load(), row.Stub);
    functions.SetLastError(10061);
    EXPECT_EQ(functions.LastError(), 10061);  // straight to the library

    UnloadSocketLibrary();
    EXPECT_FALSE(SocketLibraryLoaded());
    EXPECT_EQ(row.Place.load(), row.Stub);
    EXPECT_TRUE(StubErrorOf([&] { functions.LastError(); }).has_value());
}

TEST_F(WinsockBinding, TheWindowsStackStartsTheLibraryOnce) {
    SocketLibrary library(PlatformSocketFunctions());
    {
        TIdStackWindows stack(library);
        EXPECT_TRUE(library.Started());
        EXPECT_TRUE(SocketLibraryLoaded());
        EXPECT_EQ(stack.LocalHostName().empty(), false);
        EXPECT_EQ(stack.HostNameToAddress("localhost"), "127.0.0.1");
    }
    TIdStackWindows again(library);
    EXPECT_TRUE(library.Started());
}

TEST_F(WinsockBinding, AFailedLoadLeavesTheStackUnmade) {
    // A library table whose start-up loads a file that is not there.
    SocketFunctions functions = PlatformSocketFunctions();
    functions.Startup = [](std::uint16_t version) {
        WSADATA data{};
        return StartSocketLibraryFrom("W20_NO_SUCH_LIBRARY.DLL", version, data);
    };
    SocketLibrary library(functions);
    EXPECT_THROW(TIdStackWindows stack(library), EIdWS2StubError);
    EXPECT_FALSE(library.Started());
}

TEST_F(WinsockBinding, ARefusedStartUpIsTheInitializationError) {
    SocketFunctions functions = PlatformSocketFunctions();
    functions.Startup = [](std::uint16_t) { return 10091; };  // the system is not ready
    SocketLibrary library(functions);
    try {
        TIdStackWindows stack(library);
        ADD_FAILURE() << "no exception";
    } catch (const EIdStackInitializationFailed& error) {
        EXPECT_EQ(error.Message(), "Winsock Initialization Error.");
    }
    EXPECT_FALSE(library.Started());
}

}  // namespace
}  // namespace w20
