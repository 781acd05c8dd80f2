#include "platform/IoEventSource.h"

namespace platform {

namespace {

// No kernel event source on this system: open() says so and run() returns at once.
class StubIoEventSource : public IoEventSource {
public:
    bool open(std::string* error) override
    {
        if (error)
            *error = "no kernel event source on this system";
        return false;
    }
    void run(IoEventSink&) override {}
    void stop() override {}
    IoSourceStats stats() const override { return {}; }
    std::string name() const override { return "none"; }
};

} // namespace

std::unique_ptr<IoEventSource> createSystemIoEventSource()
{
    return std::make_unique<StubIoEventSource>();
}

} // namespace platform
