#include "platform/linux/SockDiagFlowOwners.h"

#include <pthread.h>

#include "platform/linux/InodeOwners.h"
#include "platform/IoEvents.h"
#include "platform/ProcessNames.h"
#include "platform/Processes.h"
#include "platform/linux/SockDiag.h"

namespace platform {

SockDiagFlowOwners::~SockDiagFlowOwners()
{
    stop();
}

bool SockDiagFlowOwners::start()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_thread.joinable())
        return true;
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void SockDiagFlowOwners::stop()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stop = true;
    }
    m_cond.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

namespace {

uint64_t socketInodeOf(const FlowKey& k)
{
    const SocketProtocol protocol = k.protocol == kProtoTcp ? SocketProtocol::Tcp : SocketProtocol::Udp;
    return findSocketInode(protocol, k.localAddr, k.localPort, k.remoteAddr, k.remotePort);
}

} // namespace

bool SockDiagFlowOwners::enqueue(const Request& request)
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_requests.size() >= kMaxQueued)
            return false;
        m_requests.push_back(request);
    }
    m_cond.notify_one();
    return true;
}

bool SockDiagFlowOwners::request(const FlowKey& key)
{
    return enqueue({key, 0});
}

bool SockDiagFlowOwners::requestUrgent(const FlowKey& key)
{
    return enqueue({key, socketInodeOf(key)});
}

void SockDiagFlowOwners::takeAnswers(std::vector<FlowOwnerAnswer>& out)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    out.insert(out.end(), m_answers.begin(), m_answers.end());
    m_answers.clear();
}

void SockDiagFlowOwners::run()
{
    pthread_setname_np(pthread_self(), "lvx-owners");
    std::vector<Request> batch;
    std::vector<FlowOwnerAnswer> answers;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(m_mutex);
            m_cond.wait(guard, [this] { return m_stop || !m_requests.empty(); });
            if (m_stop)
                return;
            batch.swap(m_requests);
        }
        answers.clear();
        resolve(batch, answers);
        batch.clear();
        std::lock_guard<std::mutex> guard(m_mutex);
        m_answers.insert(m_answers.end(), answers.begin(), answers.end());
    }
}

void SockDiagFlowOwners::resolve(std::vector<Request>& batch, std::vector<FlowOwnerAnswer>& answers)
{
    InodeOwners& owners = InodeOwners::instance();
    // Find every socket first, while short-lived ones still exist, then name their owners.
    std::vector<uint64_t> inodes(batch.size());
    for (size_t i = 0; i < batch.size(); ++i)
        inodes[i] = batch[i].inode ? batch[i].inode : socketInodeOf(batch[i].key);
    owners.findOwners(inodes);
    ProcessNames& names = ProcessNames::instance();
    for (size_t i = 0; i < batch.size(); ++i) {
        const uint32_t pid = inodes[i] ? owners.cachedOwnerOf(inodes[i]) : 0;
        answers.push_back({batch[i].key, pid});
        // Named now, while the owner still runs: its traffic is counted later.
        if (pid != 0 && names.freshNameOf(pid).empty())
            names.remember(pid, processImageName(pid));
    }
}

} // namespace platform
