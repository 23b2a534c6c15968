#pragma once
// The simulated transmitter that a client opens by a port name: behind a
// pseudo-terminal where the system has them, inside the process on Windows.

#ifdef _WIN32
#include "sim/SimInProcessServer.h"
namespace qt40::sim {
using SimServer = SimInProcessServer;
}
#else
#include "sim/SimPtyServer.h"
namespace qt40::sim {
using SimServer = SimPtyServer;
}
#endif
