// The backend for systems without one of their own: every question about the machine is
// answered with "nothing available", so the engine and its tests build and run anywhere.
#include "platform/CommandLine.h"
#include "platform/ExecutablePath.h"
#include "platform/LocalAddresses.h"
#include "platform/Processes.h"
#include "platform/RawSocket.h"
#include "platform/SocketTable.h"
#include "platform/UserFolders.h"

#include <cstdlib>

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

RawDnsSocket::RawDnsSocket() : m_createError(kNotSupported) {}

RawDnsSocket::~RawDnsSocket() = default;

int RawDnsSocket::open(int, int, bool)
{
    return kNotSupported;
}

int RawDnsSocket::receive(char*, int, bool*)
{
    return -1;
}

void RawDnsSocket::wake() {}

uint64_t RawDnsSocket::drops()
{
    return 0;
}

void RawDnsSocket::close() {}

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

// A POSIX system's usual place.
std::string userSettingsFolder(std::string_view application)
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return std::string(xdg) + "/" + std::string(application);
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0')
        return {};
    return std::string(home) + "/.config/" + std::string(application);
}

} // namespace platform
