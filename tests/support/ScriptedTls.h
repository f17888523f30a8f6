#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSockets.h"

// TLS for ScriptedServer's scripts over the system's TLS library. POSIX only.
namespace w20::test {

using TlsSessionMaker = std::function<std::unique_ptr<ScriptedTlsSession>(TestSocket)>;

// Server sessions presenting the certificate (PEM; certificates after it in the file go along as
// its chain) with its private key. Throws std::runtime_error when they do not load or match.
TlsSessionMaker ServerTls(const std::string& certificateFile, const std::string& keyFile);

// `options` with ServerTls(certificateFile, keyFile) as its sessions.
ScriptedServerOptions WithTls(const std::string& certificateFile, const std::string& keyFile,
                              ScriptedServerOptions options = {});

}  // namespace w20::test
