// Reading the server name of a new flow's first payload: a TLS ClientHello as curl and
// chromium send it, and a QUIC Initial (key derivation, header protection, AES-GCM, frames,
// hello) as published and as chromium spreads it over two datagrams.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/XQuicInitial.h"
#include "capture/XTlsClientHello.h"

namespace {

std::vector<uint8_t> recorded(const std::string& file)
{
    std::ifstream in(std::string(LUMIVEX_HANDSHAKE_DIR) + file, std::ios::binary);
    if (!in)
        throw std::runtime_error("no recorded input " + file);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void parseHello(benchmark::State& state, const char* file)
{
    const std::vector<uint8_t> hello = recorded(file);
    for (auto _ : state) {
        XClientHelloName name = parseTlsClientHello(hello.data(), hello.size());
        if (name.status != XServerNameStatus::Found)
            state.SkipWithError("no name");
        benchmark::DoNotOptimize(name);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(hello.size()));
}

void decodeInitial(benchmark::State& state, std::vector<const char*> files)
{
    std::vector<std::vector<uint8_t>> datagrams;
    for (const char* f : files)
        datagrams.push_back(recorded(f));
    for (auto _ : state) {
        XQuicInitialReassembly r;
        for (const std::vector<uint8_t>& d : datagrams)
            r.feed(d.data(), d.size());
        XClientHelloName name = r.serverName();
        if (name.status != XServerNameStatus::Found)
            state.SkipWithError("no name");
        benchmark::DoNotOptimize(name);
    }
}

void BM_ClientHelloCurl(benchmark::State& state) { parseHello(state, "tls_curl.bin"); }
void BM_ClientHelloChromium(benchmark::State& state) { parseHello(state, "tls_chromium_sni_late.bin"); }
void BM_QuicInitialRfc9001(benchmark::State& state) { decodeInitial(state, {"quic_rfc9001_client_initial.bin"}); }
void BM_QuicInitialChromiumTwoDatagrams(benchmark::State& state)
{
    decodeInitial(state, {"quic_chromium_initial_1.bin", "quic_chromium_initial_2.bin"});
}

}  // namespace

BENCHMARK(BM_ClientHelloCurl);
BENCHMARK(BM_ClientHelloChromium);
BENCHMARK(BM_QuicInitialRfc9001);
BENCHMARK(BM_QuicInitialChromiumTwoDatagrams);
