// The backend for systems without one of their own: every question about the machine is
// answered with "nothing available", so the engine and its tests build and run anywhere.
#include "platform/ExecutablePath.h"
#include "platform/LocalAddresses.h"
#include "platform/Processes.h"
#include "platform/RawSocket.h"
#include "platform/SocketTable.h"

namespace platform {

namespace {
constexpr int kNotSupported = 95;  // the POSIX EOPNOTSUPP number, reported as the reason
}

bool readLocalIpv4Addresses(std::vector<uint32_t>& out, std::string* error)
{
    out.clear();
    if (error)
        *error = "no address table on this system";
    return false;
}

std::vector<uint32_t> hostNameIpv4Addresses(int)
{
    return {};
}

std::string processImagePath(uint32_t)
{
    return {};
}

std::string processImageName(uint32_t)
{
    return {};
}

std::vector<uint32_t> listProcessIds()
{
    return {};
}

bool readProcessIo(uint32_t, ProcessIo&)
{
    return false;
}

uint64_t processStartTime(uint32_t)
{
    return 0;
}

bool isPrivileged()
{
    return false;
}

bool readSocketTable(SocketProtocol, std::vector<SocketRow>& out)
{
    out.clear();
    return false;
}

std::string executablePath()
{
    return {};
}

RawUdpSocket::RawUdpSocket() : m_createError(kNotSupported) {}

RawUdpSocket::~RawUdpSocket() = default;

int RawUdpSocket::bind(uint32_t, uint16_t, int, int)
{
    return kNotSupported;
}

int RawUdpSocket::receive(char*, int)
{
    return -1;
}

void RawUdpSocket::close() {}

} // namespace platform
