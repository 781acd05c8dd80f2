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
    void takeAnswers(std::vector<FlowOwnerAnswer>& out) override;

private:
    void run();
    void resolve(std::vector<FlowKey>& batch, std::vector<FlowOwnerAnswer>& answers);

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<FlowKey> m_requests;
    std::vector<FlowOwnerAnswer> m_answers;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace platform
