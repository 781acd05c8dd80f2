#include "TestEngine.h"

TestEngine::TestEngine()
{
    XEngine::Parts parts;
    parts.results = &m_registry;
    parts.dns = &m_dns;
    parts.clock = [this] { return now; };
    parts.processName = [](uint32_t) { return std::string(); };
    parts.processPath = [](uint32_t) { return std::string(); };
    m_engine = std::make_unique<XEngine>(parts);
}

XPacketCounter& TestEngine::counter(const char* name)
{
    if (auto* existing = static_cast<XPacketCounter*>(m_registry.getResult(name, 1)))
        return *existing;
    auto* created = new XPacketCounter(0, 0);
    created->init(nullptr, nullptr);
    created->setClock([this] { return now; });
    m_registry.addResult(name, created);
    return *created;
}

void TestEngine::count(const char* name, uint32_t address, int size, int direction, uint16_t remotePort)
{
    counter(name).count(address, remotePort, 0, size, direction, 0);
}
