#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackClient.h"
#include "tests/support/NginxServer.h"
#include "tests/support/PythonHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

namespace w20::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(NginxServer, ServesTheDocumentRootWithKeepAlive) {
    TempDir docs;
    WriteFileBytes(docs.File("a.txt"), "first file\n");
    WriteFileBytes(docs.File("b.txt"), std::string(100000, 'b'));
    NginxServer nginx(docs.Path());

    LoopbackClient client(nginx.Port());
    client.Send(
        "GET /a.txt HTTP/1.1\r\nHost: localhost\r\n\r\nGET /b.txt HTTP/1.1\r\nHost: localhost\r\n\r\n");
    auto first = client.ReadAnswer();
    auto second = client.ReadAnswer();
    ASSERT_TRUE(first && second) << nginx.ErrorLog();
    EXPECT_EQ(first->statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(first->body, "first file\n");
    EXPECT_EQ(first->Header("Content-Type"), "text/plain");
    EXPECT_EQ(second->body, std::string(100000, 'b'));
    EXPECT_FALSE(client.PeerClosed());
}

TEST(NginxServer, TakesServerSnippets) {
    TempDir docs;
    NginxServer nginx(docs.Path(),
                      "location = /moved { return 302 /elsewhere; }\n"
                      "location = /text { default_type text/plain; return 200 'from snippet'; }");
    struct Case {
        std::string target;
        int status;
        std::string location;
        std::string body;
    };
    for (const Case& c :
         {Case{"/moved", 302, "http://localhost:" + std::to_string(nginx.Port()) + "/elsewhere", ""},
          Case{"/text", 200, "", "from snippet"}, Case{"/missing.txt", 404, "", ""}}) {
        LoopbackClient client(nginx.Port());
        client.Send("GET " + c.target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
        auto answer = client.ReadAnswer();
        ASSERT_TRUE(answer) << c.target;
        EXPECT_EQ(answer->status, c.status) << c.target;
        EXPECT_EQ(answer->Header("Location").value_or(""), c.location) << c.target;
        if (!c.body.empty()) {
            EXPECT_EQ(answer->body, c.body) << c.target;
        }
    }
}

TEST(NginxServer, ABrokenConfigurationFailsClearlyAndQuickly) {
    TempDir docs;
    auto start = Clock::now();
    try {
        NginxServer nginx(docs.Path(), "no_such_directive on;");
        FAIL() << "started with a broken configuration";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("unknown directive \"no_such_directive\""),
                  std::string::npos)
            << error.what();
    }
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
}

TEST(NginxServer, StopsWithItsScope) {
    TempDir docs;
    std::uint16_t port;
    {
        NginxServer nginx(docs.Path());
        port = nginx.Port();
        EXPECT_TRUE(WaitUntilAccepting(port, milliseconds(100)));
    }
    EXPECT_THROW(LoopbackClient client(port), std::runtime_error);
}

// Each certificate, checked for its server's name, fails for its one fault only.
TEST(TestCertificates, EachHasItsOneFault) {
    TempDir certificates;
    MakeTestCertificates(certificates.Path());
    struct Case {
        std::string name;
        std::string check;  // -verify_hostname or -verify_ip
        std::string peer;
        std::string verdict;
    };
    for (const Case& c :
         {Case{"good", "-verify_hostname", "localhost", "good.pem: OK"},
          Case{"good", "-verify_ip", "127.0.0.1", "good.pem: OK"},
          Case{"expired", "-verify_hostname", "localhost", "certificate has expired"},
          Case{"not-yet-valid", "-verify_hostname", "localhost", "certificate is not yet valid"},
          Case{"wrong-name", "-verify_hostname", "localhost", "hostname mismatch"},
          Case{"wrong-name", "-verify_hostname", "wrong.example", "wrong-name.pem: OK"},
          Case{"self-signed", "-verify_ip", "127.0.0.1", "self-signed certificate"},
          Case{"unknown-authority", "-verify_hostname", "localhost",
               "unable to get local issuer certificate"}}) {
        CommandResult verify =
            RunCommand({"openssl", "verify", "-CAfile", certificates.File("authority.pem"), "-purpose",
                        "sslserver", c.check, c.peer, certificates.File(c.name + ".pem")});
        EXPECT_NE(verify.output.find(c.verdict), std::string::npos)
            << c.name << " " << c.peer << ": " << verify.output;
        EXPECT_EQ(verify.exitCode == 0, c.verdict.ends_with(": OK")) << c.name << " " << c.peer;
    }
}

struct Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

template <class T>
std::unique_ptr<T, Free> ReadPem(const std::string& path, T* (*read)(FILE*, T**, pem_password_cb*, void*)) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "r"), std::fclose);
    return std::unique_ptr<T, Free>(file ? read(file.get(), nullptr, nullptr, nullptr) : nullptr);
}

TEST(TestCertificates, AreX509v3WithSha256DistinctSerialsAndTheirOwnKeys) {
    for (const auto& [kind, signature] : {std::pair{TestKeyKind::EcP256, NID_ecdsa_with_SHA256},
                                          std::pair{TestKeyKind::Rsa2048, NID_sha256WithRSAEncryption}}) {
        TempDir certificates;
        MakeTestCertificates(certificates.Path(), kind);
        std::set<std::string> serials;
        std::vector<std::string> names = TestCertificateNames();
        names.push_back("authority");
        for (const std::string& name : names) {
            auto certificate = ReadPem(certificates.File(name + ".pem"), PEM_read_X509);
            ASSERT_TRUE(certificate) << name;
            EXPECT_EQ(X509_get_version(certificate.get()), X509_VERSION_3) << name;
            EXPECT_EQ(X509_get_signature_nid(certificate.get()), signature) << name;
            EXPECT_EQ(X509_check_ca(certificate.get()) != 0, name == "authority") << name;
            BIGNUM* number = ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate.get()), nullptr);
            char* serial = BN_bn2hex(number);
            serials.insert(serial);
            BN_free(number);
            OPENSSL_free(serial);
            if (name == "authority") {
                EXPECT_FALSE(FileExists(certificates.File("authority.key")));
                continue;
            }
            auto key = ReadPem(certificates.File(name + ".key"), PEM_read_PrivateKey);
            ASSERT_TRUE(key) << name;
            EXPECT_EQ(X509_check_private_key(certificate.get(), key.get()), 1) << name;
        }
        EXPECT_EQ(serials.size(), names.size());
    }
}

// curl over TLS to nginx, trusting the test authority: what answers, and what is refused.
TEST(NginxServer, ServesOverTls) {
    TempDir certificates;
    MakeTestCertificates(certificates.Path());
    const std::string good = certificates.File("good.pem");
    const std::string goodKey = certificates.File("good.key");
    TempDir docs;
    WriteFileBytes(docs.File("a.txt"), "over TLS\n");
    struct Case {
        const char* name;
        NginxTls tls;
        std::string host;
        std::vector<std::string> curlOptions;
        int exitCode;  // 35: the handshake failed
    };
    for (const Case& c :
         {Case{"ByName", {good, goodKey}, "localhost", {}, 0},
          Case{"ByAddress", {good, goodKey}, "127.0.0.1", {}, 0},
          Case{"Tls13Only", {good, goodKey, "TLSv1.3"}, "localhost", {"--tls-max", "1.2"}, 35},
          Case{"LegacyRefusedByDefault", NginxTls::LegacyOnly(good, goodKey), "localhost", {}, 35},
          Case{"LegacyTls10WhenAllowed",
               NginxTls::LegacyOnly(good, goodKey),
               "localhost",
               {"--tlsv1.0", "--tls-max", "1.0", "--ciphers", "DEFAULT:@SECLEVEL=0"},
               0}}) {
        NginxServer nginx(docs.Path(), c.tls);
        std::vector<std::string> curl{"curl", "-sS",      "--max-time",
                                      "5",    "--cacert", certificates.File("authority.pem")};
        curl.insert(curl.end(), c.curlOptions.begin(), c.curlOptions.end());
        curl.push_back(nginx.UrlFor(c.host, "/a.txt"));
        CommandResult result = RunCommand(curl);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.name << ": " << result.output << nginx.ErrorLog();
        if (c.exitCode == 0) {
            EXPECT_EQ(result.output, "over TLS\n") << c.name;
        }
    }
}

TEST(PythonHttpServer, ServesAFolderOverHttp10AndCloses) {
    TempDir docs;
    WriteFileBytes(docs.File("quotes.txt"), "W20,5,20261207,090000,2400.00\r\n");
    PythonHttpServer python(docs.Path());

    LoopbackClient client(python.Port());
    client.Send("GET /quotes.txt HTTP/1.1\r\nHost: localhost\r\n\r\n");
    auto answer = client.ReadAnswer();
    ASSERT_TRUE(answer) << python.Log();
    EXPECT_EQ(answer->statusLine, "HTTP/1.0 200 OK");
    EXPECT_EQ(answer->body, "W20,5,20261207,090000,2400.00\r\n");
    EXPECT_EQ(client.ReceiveUntilClosed(), "");
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_NE(python.Log().find("GET /quotes.txt"), std::string::npos);
}

// Exit statuses as the child ends: on its own, by the signal, or killed after ignoring it.
struct ChildCase {
    const char* name;
    std::string command;
    bool endsAlone;  // Stop comes only after the child has ended by itself
    bool exited;
    int code;
};

void PrintTo(const ChildCase& c, std::ostream* out) {
    *out << c.name;
}

class ChildProcessEnds : public testing::TestWithParam<ChildCase> {};

TEST_P(ChildProcessEnds, StopReportsHowItEnded) {
    ChildProcess child({"/bin/sh", "-c", GetParam().command});
    EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), "ready");
    for (int i = 0; GetParam().endsAlone && child.Running() && i < 300; ++i)
        usleep(10000);
    auto start = Clock::now();
    int status = child.Stop(SIGTERM, milliseconds(300));
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(WIFEXITED(status), GetParam().exited);
    EXPECT_EQ(GetParam().exited ? WEXITSTATUS(status) : WTERMSIG(status), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    ChildProcess, ChildProcessEnds,
    testing::Values(ChildCase{"ExitsByItself", "echo ready; exit 3", true, true, 3},
                    ChildCase{"EndsBySignal", "echo ready; exec sleep 30", false, false, SIGTERM},
                    ChildCase{"KilledAfterIgnoring", "trap '' TERM; echo ready; while :; do sleep 0.05; done",
                              false, false, SIGKILL},
                    ChildCase{"TrapsAndExits", "trap 'exit 0' TERM; echo ready; while :; do sleep 0.05; done",
                              false, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChildProcess, OutputLinesAndItsEnd) {
    ChildProcess child({"/bin/sh", "-c", "printf 'one\\r\\ntwo\\n'; printf 'three'"});
    EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), "one");
    EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), "two");
    EXPECT_EQ(child.ReadOutputLine(milliseconds(3000)), std::nullopt);  // no line end before the output ends
}

TEST(ChildProcess, ReadingOutputIsBounded) {
    ChildProcess child({"/bin/sh", "-c", "exec sleep 30"});
    auto start = Clock::now();
    EXPECT_EQ(child.ReadOutputLine(milliseconds(100)), std::nullopt);
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
}

TEST(ChildProcess, AMissingProgramFailsClearly) {
    try {
        ChildProcess child({"/nonexistent/program"});
        FAIL() << "started a missing program";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "cannot start /nonexistent/program: No such file or directory");
    }
}

TEST(ChildProcess, LogFileTakesBothStreams) {
    TempDir folder;
    {
        ChildProcess child({"/bin/sh", "-c", "echo out; echo err >&2"}, folder.File("log"));
        for (int i = 0; i < 300 && child.Running(); ++i)
            usleep(10000);
    }
    EXPECT_EQ(ReadFileBytes(folder.File("log")), "out\nerr\n");
}

}  // namespace
}  // namespace w20::test
