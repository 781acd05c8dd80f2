// The Windows backend against the running system (Windows, or Wine): text at the UTF-16
// boundary, processes, addresses, the instance lock, machine load, the console and the kernel
// event source.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "platform/InstanceLock.h"
#include "platform/IoEventSource.h"
#include "platform/LocalAddresses.h"
#include "platform/Processes.h"
#include "platform/RegularFile.h"
#include "platform/SystemTimes.h"
#include "platform/TerminationSignals.h"
#include "platform/windows/IoCountersSampler.h"
#include "platform/windows/WideText.h"

using namespace platform;

namespace {

class CollectingSink : public IoEventSink {
public:
    void onNetEvent(const NetEvent&) override {}
    void onDiskEvent(const DiskEvent& event) override
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (event.pid == ::GetCurrentProcessId())
            m_written += event.writeBytes;
    }
    uint64_t written()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_written;
    }

private:
    std::mutex m_mutex;
    uint64_t m_written = 0;
};

} // namespace

TEST(WindowsText, Utf16AndUtf8RoundTripAndBrokenTextBecomesReplacement)
{
    const std::string chinese = "\xE5\x90\x8D\xE5\xAD\x97 \xC3\xBC \xF0\x9F\x98\x80";  // 名字 ü 😀
    EXPECT_EQ(utf8FromWide(wideFromUtf8(chinese)), chinese);
    EXPECT_EQ(wideFromUtf8(chinese).size(), 7u);  // the emoji is a surrogate pair
    const wchar_t lone[] = {L'a', wchar_t(0xD800), L'b'};
    EXPECT_EQ(utf8FromWide(std::wstring_view(lone, 3)), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(wideFromUtf8("a\xFF" "b"), std::wstring(L"a\xFFFD" L"b"));
    EXPECT_EQ(systemErrorText(ERROR_ACCESS_DENIED).rfind("5", 0), 0u);
}

TEST(WindowsProcesses, ThisProgramIsNamedListedAndCountsItsIo)
{
    const uint32_t self = ::GetCurrentProcessId();
    EXPECT_EQ(processImageName(self), "platform_windows_test.exe");
    const std::string path = processImagePath(self);
    EXPECT_EQ(path, executablePath());
    EXPECT_NE(path.find("platform_windows_test.exe"), std::string::npos) << path;
    EXPECT_EQ(processImageName(0), "");
    EXPECT_NE(processStartTime(self), 0u);
    EXPECT_EQ(processStartTime(self), processStartTime(self));
    const std::vector<uint32_t> pids = listProcessIds();
    EXPECT_TRUE(std::is_sorted(pids.begin(), pids.end()));
    EXPECT_NE(std::find(pids.begin(), pids.end(), self), pids.end());

    ProcessIo before, after;
    ASSERT_TRUE(readProcessIo(self, before));
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "lumivex-io-test.bin";
    {
        std::FILE* f = std::fopen(file.string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::vector<char> block(1 << 20, 'x');
        std::fwrite(block.data(), 1, block.size(), f);
        std::fclose(f);
    }
    ASSERT_TRUE(readProcessIo(self, after));
    EXPECT_GE(after.writeBytes, before.writeBytes);
    std::filesystem::remove(file);
}

TEST(WindowsProcesses, TheSamplerReportsWhatAProcessWritesAndStopsPromptly)
{
    ProcessIo probe;
    ASSERT_TRUE(readProcessIo(::GetCurrentProcessId(), probe));
    CollectingSink sink;
    IoCountersSampler sampler;
    sampler.start(sink);
    // After the baseline round, a megabyte written shows in the next rounds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (sampler.rounds() < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "lumivex-sampler-test.bin";
    {
        std::FILE* f = std::fopen(file.string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::vector<char> block(1 << 20, 'x');
        std::fwrite(block.data(), 1, block.size(), f);
        std::fclose(f);
    }
    ProcessIo written;
    readProcessIo(::GetCurrentProcessId(), written);
    const bool counted = written.writeBytes > probe.writeBytes;  // Wine may count nothing
    while (counted && sink.written() < (1u << 20) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (counted) {
        EXPECT_GE(sink.written(), 1u << 20);
    }
    const auto stopping = std::chrono::steady_clock::now();
    sampler.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1));
    EXPECT_GE(sampler.rounds(), 1u);
    std::filesystem::remove(file);
}

TEST(WindowsAddresses, TheTableHoldsLoopback)
{
    std::vector<uint32_t> addrs;
    std::string error;
    ASSERT_TRUE(readLocalIpv4Addresses(addrs, &error)) << error;
    EXPECT_NE(std::find(addrs.begin(), addrs.end(), hostToNet32(0x7F000001)), addrs.end());
}

TEST(WindowsFiles, OnlyRegularFilesAreReadAndAReplacementLeavesNoTemporaryFile)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("lumivex-files-" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(folder);
    const std::string file = (folder / "user.ini").string();
    std::string content, error;
    bool longer = true;
    EXPECT_EQ(readRegularFile(file, 100, content, &longer, &error), FileRead::Missing);
    EXPECT_EQ(readRegularFile(folder.string(), 100, content, nullptr, &error), FileRead::NotRegular);
    EXPECT_EQ(readRegularFile("NUL", 100, content, nullptr, &error), FileRead::NotRegular);  // a device

    ASSERT_TRUE(replaceFile(file, "first", &error)) << error;
    ASSERT_TRUE(replaceFile(file, "second, longer", &error)) << error;
    EXPECT_EQ(readRegularFile(file, 100, content, &longer, &error), FileRead::Ok);
    EXPECT_EQ(content, "second, longer");
    EXPECT_FALSE(longer);
    EXPECT_EQ(readRegularFile(file, 6, content, &longer, &error), FileRead::Ok);
    EXPECT_EQ(content, "second");
    EXPECT_TRUE(longer);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_FALSE(replaceFile((folder / "no-such-folder" / "x").string(), "x", &error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(folder);
}

TEST(WindowsInstanceLock, OneHolderAtATimeUntilReleased)
{
    const std::string name = instanceLockPath("lumivex-test-" + std::to_string(::GetCurrentProcessId()));
    EXPECT_EQ(name.rfind("Local\\", 0), 0u);
    InstanceLock first, second;
    EXPECT_EQ(first.acquire(name), InstanceLock::Result::Acquired);
    EXPECT_TRUE(first.held());
    EXPECT_EQ(second.acquire(name), InstanceLock::Result::HeldElsewhere);
    EXPECT_FALSE(second.held());
    first.release();
    EXPECT_EQ(second.acquire(name), InstanceLock::Result::Acquired);
    // A file path names a lock as well.
    InstanceLock byPath;
    EXPECT_EQ(byPath.acquire("C:\\Users\\x\\lumivex.lock"), InstanceLock::Result::Acquired);
}

TEST(WindowsMachine, ClockLoadAndConsoleAnswer)
{
    EXPECT_LT(uint32_t(::GetTickCount() - tickCount()) + 50u, 100u);
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const uint64_t system = uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    EXPECT_LT(systemTimeFiletime() - system, 10000000ull);  // within a second, never before
    CpuTimes cpu;
    ASSERT_TRUE(readCpuTimes(cpu));
    EXPECT_GE(cpu.kernel, cpu.idle);
    CommitCharge commit;
    ASSERT_TRUE(readCommitCharge(commit));
    EXPECT_GT(commit.committed, 0u);
    EXPECT_GE(commit.limit, commit.committed);

    // Nothing pending: draining returns at once instead of waiting for an event.
    const int events = terminationSignalDescriptor();
    ASSERT_GE(events, 0);
    EXPECT_EQ(terminationSignalDescriptor(), events);
    auto drained = std::async(std::launch::async, [events] { return drainTerminationSignals(events); });
    ASSERT_EQ(drained.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(drained.get(), 0);
}

// The console program sleeps on the wake event between its reports: a wake, and a console
// event, end that sleep at once; nothing else does.
TEST(WindowsConsole, AWakeEndsTheSleepAtOnce)
{
    ASSERT_TRUE(prepareSignalWake());
    EXPECT_FALSE(sleepUntilSignalWake(30));
    signalWake();
    EXPECT_TRUE(sleepUntilSignalWake(5000));
}

TEST(WindowsConsole, ACtrlBreakArrivesAsOneEventAndEndsTheSleep)
{
    ASSERT_TRUE(prepareSignalWake());
    const int events = terminationSignalDescriptor();
    ASSERT_GE(events, 0);
    drainTerminationSignals(events);
    if (!::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0) &&
        !(::AllocConsole() && ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0)))
        GTEST_SKIP() << "no console to send Ctrl-Break on";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(sleepUntilSignalWake(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(drainTerminationSignals(events), 1);
}

TEST(WindowsKernelEvents, TheSourceOpensOrSaysWhyAndStopEndsItsRun)
{
    std::unique_ptr<IoEventSource> source = createSystemIoEventSource();
    EXPECT_EQ(source->name().rfind("etw", 0), 0u);
    std::string error;
    const bool opened = source->open(&error);
    if (!opened) {
        EXPECT_FALSE(error.empty());  // Wine has no kernel trace; Windows without elevation none either
    }
    CollectingSink sink;
    auto running = std::async(std::launch::async, [&] { source->run(sink); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    source->stop();
    EXPECT_EQ(running.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    source->stop();  // twice is harmless
}
