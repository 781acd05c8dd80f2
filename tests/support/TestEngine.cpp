#include "TestEngine.h"

#include "capture/XIPCounter.h"
#include "capture/XPacketCounter.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/ByteOrder.h"

TestEngine::TestEngine()
{
    XPCProcessInfo::Hooks hooks;
    hooks.readTable = [](platform::SocketProtocol, std::vector<platform::SocketRow>& rows) {
        rows.clear();
        return true;
    };
    hooks.imagePath = [this](std::uint32_t pid) {
        const auto it = programs.find(pid);
        return it == programs.end() ? std::string() : it->second;
    };
    hooks.shortName = [](std::uint32_t) { return std::string(); };
    m_processes = std::make_unique<XPCProcessInfo>(hooks, nullptr);

    m_chat = new XIPCounter(0, 0);
    m_chat->init(&m_dns);
    m_chat->setClock([this] { return now; });
    m_registry.addResult("other", m_chat);

    XEngine::Components components;
    components.results = &m_registry;
    components.dns = &m_dns;
    components.processInfo = m_processes.get();
    components.clock = [this] { return now; };
    components.processName = [this](std::uint32_t pid) {
        const auto it = programs.find(pid);
        if (it == programs.end())
            return std::string();
        return it->second.substr(it->second.find_last_of('/') + 1);
    };
    components.processPath = [this](std::uint32_t pid) {
        const auto it = programs.find(pid);
        return it == programs.end() ? std::string() : it->second;
    };
    components.sockets = [this](std::vector<XSocketRow>& out) {
        out = sockets;
        return int(out.size());
    };
    m_engine = std::make_unique<XEngine>(components);
}

TestEngine::~TestEngine() = default;

XPacketCounter& TestEngine::counter(XTrafficKind kind)
{
    const char* name = kind == kTrafficUdp ? "udp" : "tcp";
    if (auto* existing = static_cast<XPacketCounter*>(m_registry.getResult(name, 1)))
        return *existing;
    auto* created = new XPacketCounter(0, 0);
    created->init(m_processes.get(), m_chat);
    created->setClock([this] { return now; });
    m_registry.addResult(name, created);
    return *created;
}

void TestEngine::count(XTrafficKind kind, std::uint32_t address, int size, int direction, std::uint16_t remotePort,
                           std::uint32_t pid)
{
    counter(kind).count(address, platform::hostToNet16(remotePort), 0, size, direction, pid);
    m_chat->count(address, 0, size, direction);
}
