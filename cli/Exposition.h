#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Report.h"
#include "TopCounters.h"

namespace platform {
struct SelfUsage;
}

// What a metrics scrape shows, made from the console's Report: the same facts as its tables
// and JSON document, as metric families with bounded label sets.
struct MetricFamily {
    enum Type { kCounter, kGauge, kInfo };
    struct Sample {
        std::string labels;  // name="value" pairs, escaped, comma-separated; empty for none
        double value = 0;
    };
    std::string name;  // without the suffix of its samples: "_total" of a counter, "_info" of an info
    std::string help;
    Type type = kGauge;
    std::vector<Sample> samples;
};

struct Exposition {
    std::vector<MetricFamily> families;
    // Samples in all families: the series a scraper keeps.
    size_t series() const;
};

// The Prometheus text format (0.0.4) or OpenMetrics 1.0.0.
enum class ExpositionFormat { kPrometheus, kOpenMetrics };

std::string renderExposition(const Exposition& exposition, ExpositionFormat format);
// The Content-Type of a rendering.
const char* expositionContentType(ExpositionFormat format);
// The format a scraper asks for in its Accept header: OpenMetrics when it names it.
ExpositionFormat expositionFormatFor(const char* accept);

// A label value as the formats want it: control characters, invisible format characters and
// broken UTF-8 made visible as in the console, then backslash, quote and line feed escaped.
std::string metricLabelValue(const std::string& text);

// Turns reports into expositions. Keeps which programs and remote hosts have series of their
// own from one report to the next, so that every counter only grows. One caller at a time.
class ExpositionBuilder {
public:
    struct Limits {
        size_t remoteHosts = 50;  // remote hosts with series of their own; the rest: "other"
        size_t programs = 200;    // programs with series of their own; the rest: "other"
    };

    explicit ExpositionBuilder(Limits limits);

    // self: this process's figures for the process_* families; none when null.
    Exposition build(const Report& report, const platform::SelfUsage* self);

private:
    TopCounters<2> m_remotes;   // received, sent
    TopCounters<6> m_programs;  // bytes, packets and disk bytes, both ways
};
