#pragma once
// Host names to socket addresses, within a time-out and under an abort flag.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "transport/SocketAddress.h"
#include "transport/SocketBasics.h"

namespace qt40 {

class NameLookup {
public:
    // The addresses of `host`: an address literal is answered at once; a name
    // is looked up on a thread of its own, left behind when it outlasts
    // `timeoutMs` or the abort flag is raised, so a name server that never
    // answers cannot hold the caller. Empty with `fault` (HostNotFound,
    // TimedOut, Aborted, Other) and `text` set on failure.
    static std::vector<SocketAddress> Resolve(const std::string& host, std::uint16_t port,
                                              SocketType type, int timeoutMs,
                                              const std::atomic<bool>* abort, SocketFault& fault,
                                              std::string& text);
};

}  // namespace qt40
