#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/FlowOwners.h"

namespace platform {

// Answers flow-owner lookups on a thread of its own: a targeted sock_diag query finds the
// flow's socket inode, the inode-to-pid map names its process. All lookups waiting at once
// share one /proc/*/fd rescan when some of their inodes are new.
class SockDiagFlowOwners : public FlowOwnerSource {
public:
    static constexpr size_t kMaxQueued = 8192;

    SockDiagFlowOwners() = default;
    ~SockDiagFlowOwners() override;

    bool start() override;
    void stop() override;
    bool request(const FlowKey& key) override;
    // Finds the flow's socket inode at once (one sock_diag query, tens of microseconds), and
    // leaves naming its owner to the lookup thread.
    bool requestUrgent(const FlowKey& key) override;
    void takeAnswers(std::vector<FlowOwnerAnswer>& out) override;

private:
    struct Request {
        FlowKey key;
        uint64_t inode;  // 0: not looked up yet
    };
    bool enqueue(const Request& request);
    void run();
    void resolve(std::vector<Request>& batch, std::vector<FlowOwnerAnswer>& answers);

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<Request> m_requests;
    std::vector<FlowOwnerAnswer> m_answers;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace platform
