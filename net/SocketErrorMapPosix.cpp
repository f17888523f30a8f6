#include "net/SocketErrorMapPosix.h"

#include <netdb.h>

#include <cerrno>

namespace w20 {

namespace {

struct CodePair {
    int native;
    std::int32_t socketError;
};

constexpr CodePair ErrnoTable[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},          {EPERM, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},          {EMFILE, 10024},          {ENFILE, 10024},
    {EWOULDBLOCK, 10035},  {EAGAIN, 10035},          {EINPROGRESS, 10036},     {EALREADY, 10037},
    {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},     {ENETUNREACH, 10051},     {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},          {EISCONN, 10056},
    {ENOTCONN, 10057},     {ESHUTDOWN, 10058},       {EPIPE, 10058},           {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},    {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
};

}  // namespace

std::int32_t SocketErrorFromErrno(int error) {
    for (const CodePair& pair : ErrnoTable) {
        if (pair.native == error)
            return pair.socketError;
    }
    return error;
}

std::int32_t SocketErrorFromResolver(int resolverCode, int error) {
    switch (resolverCode) {
        case EAI_NONAME:
            return seHostNotFound;
#ifdef EAI_NODATA
        case EAI_NODATA:  // the name exists but has no address
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:  // the name exists but has no IPv4 address
#endif
            return 11004;
        case EAI_AGAIN:
            return 11002;
        case EAI_MEMORY:
            return 10055;
        case EAI_SYSTEM:
            return SocketErrorFromErrno(error);
        default:
            return 11003;  // a failure the resolver cannot recover from
    }
}

}  // namespace w20
