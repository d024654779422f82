#include "server/metrics.h"

#include <prometheus/client_metric.h>
#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/metric_family.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

#include "binding/headers.h"

namespace vantomer::host::metrics {
namespace {

using prometheus::BuildCounter;
using prometheus::BuildGauge;
using prometheus::Counter;
using prometheus::Gauge;

constexpr std::array<std::string_view, 7> kMethods = {"GET",    "HEAD",    "POST", "PUT",
                                                      "DELETE", "OPTIONS", "other"};
constexpr int kOtherMethod = 6;
constexpr std::array<std::string_view, 5> kClasses = {"1xx", "2xx", "3xx", "4xx", "5xx"};
// Pairs of media types beyond this share one child: the types come from
// the settings and the application, and must not grow the output unbounded.
constexpr std::size_t kMaxTypePairs = 64;

// The request duration histogram, kept here rather than by the library,
// whose histogram takes a lock for every observation: this is two atomic
// adds.
class DurationHistogram {
 public:
  void observe(double seconds) {
    const auto bucket = std::lower_bound(kBounds.begin(), kBounds.end(), seconds) - kBounds.begin();
    counts_[static_cast<std::size_t>(bucket)].fetch_add(1, std::memory_order_relaxed);
    nanoseconds_.fetch_add(static_cast<std::uint64_t>(seconds * 1e9), std::memory_order_relaxed);
  }

  prometheus::MetricFamily collect() const {
    prometheus::ClientMetric metric;
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < counts_.size(); ++i) {
      count += counts_[i].load(std::memory_order_relaxed);
      metric.histogram.bucket.push_back(
          {count, i < kBounds.size() ? kBounds[i] : std::numeric_limits<double>::infinity()});
    }
    metric.histogram.sample_count = count;
    metric.histogram.sample_sum =
        static_cast<double>(nanoseconds_.load(std::memory_order_relaxed)) / 1e9;
    return {"vantomer_http_request_duration_seconds",
            "Time from a complete request head to the last response byte",
            prometheus::MetricType::Histogram,
            {metric}};
  }

 private:
  static constexpr std::array<double, 13> kBounds = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1,
                                                     0.25,  0.5,    1,     2.5,  5,     10};
  std::array<std::atomic<std::uint64_t>, kBounds.size() + 1> counts_{};  // the last: +Inf
  std::atomic<std::uint64_t> nanoseconds_{0};
};

struct Metrics {
  prometheus::Registry registry;
  std::array<std::array<Counter*, kClasses.size()>, kMethods.size()> requests{};
  DurationHistogram duration;
  Counter* bytesIn = nullptr;
  Counter* bytesOut = nullptr;
  Gauge* connectionsOpen = nullptr;
  Counter* connectionsAccepted = nullptr;
  Counter* conversionFailures = nullptr;
  Counter* upstreamConnectFailures = nullptr;
  Counter* upstreamTimeouts = nullptr;
  Counter* reloads = nullptr;
  Counter* reloadFailures = nullptr;
  prometheus::Family<Counter>* conversions = nullptr;

  // Conversions are rare next to requests and cost far more than this lock.
  std::mutex typesMutex;
  struct TypePair {
    std::string in, out;
    Counter* counter;
  };
  std::vector<TypePair> types;

  explicit Metrics(std::string_view version) {
    auto& requestFamily = BuildCounter()
                              .Name("vantomer_http_requests_total")
                              .Help("Requests answered, by method and status class")
                              .Register(registry);
    for (std::size_t m = 0; m < kMethods.size(); ++m)
      for (std::size_t c = 0; c < kClasses.size(); ++c)
        requests[m][c] = &requestFamily.Add(
            {{"method", std::string(kMethods[m])}, {"status_class", std::string(kClasses[c])}});
    conversions = &BuildCounter()
                       .Name("vantomer_conversions_total")
                       .Help("Responses the filter held and converted, by media type in and out")
                       .Register(registry);
    conversionFailures = &counter("vantomer_conversion_failures_total",
                                  "Held responses the filter answered with its 500 response");
    bytesIn = &counter("vantomer_http_received_bytes_total",
                       "Bytes received from clients (after TLS decryption)");
    bytesOut =
        &counter("vantomer_http_sent_bytes_total", "Bytes sent to clients (before TLS encryption)");
    connectionsOpen = &BuildGauge()
                           .Name("vantomer_connections_open")
                           .Help("Client connections open now")
                           .Register(registry)
                           .Add({});
    connectionsAccepted =
        &counter("vantomer_connections_accepted_total", "Client connections accepted and served");
    upstreamConnectFailures = &counter("vantomer_upstream_connect_failures_total",
                                       "Upstream connections that could not be made");
    upstreamTimeouts = &counter("vantomer_upstream_timeouts_total",
                                "Upstream connects, response heads and body reads that timed out");
    reloads = &counter("vantomer_reloads_total", "Reloads of the filter that took effect");
    reloadFailures = &counter("vantomer_reload_failures_total",
                              "Reloads refused or postponed; the settings in force stayed");
    BuildGauge()
        .Name("vantomer_build_info")
        .Help("The running version; always 1")
        .Register(registry)
        .Add({{"version", std::string(version)}})
        .Set(1);
  }

  Counter& counter(const char* name, const char* help) {
    return BuildCounter().Name(name).Help(help).Register(registry).Add({});
  }

  Counter& conversion(std::string_view in, std::string_view out) {
    std::lock_guard<std::mutex> lock(typesMutex);
    auto find = [this](std::string_view i, std::string_view o) -> Counter* {
      for (const TypePair& t : types)
        if (t.in == i && t.out == o) return t.counter;
      return nullptr;
    };
    Counter* c = find(in, out);
    if (!c && types.size() >= kMaxTypePairs) {
      in = out = "other";
      c = find(in, out);
    }
    if (!c) {
      c = &conversions->Add({{"type_in", std::string(in)}, {"type_out", std::string(out)}});
      types.push_back({std::string(in), std::string(out), c});
    }
    return *c;
  }
};

// Set once, before the server's threads start, and never freed: counters
// may be touched until the process ends.
Metrics* active = nullptr;

int methodIndex(std::string_view method) {
  for (int i = 0; i < kOtherMethod; ++i)
    if (method == kMethods[static_cast<std::size_t>(i)]) return i;
  return kOtherMethod;
}

bool tokenChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$&-^_.+").find(c) != std::string_view::npos;
}

}  // namespace

void enable(std::string_view version) {
  if (!active) active = new Metrics(version);
}

bool enabled() { return active != nullptr; }

std::string render() {
  if (!active) return {};
  std::ostringstream out;
  std::vector<prometheus::MetricFamily> families = active->registry.Collect();
  families.push_back(active->duration.collect());
  prometheus::TextSerializer().Serialize(out, families);
  return out.str();
}

void bytesIn(std::size_t n) {
  if (active && n) active->bytesIn->Increment(static_cast<double>(n));
}
void bytesOut(std::size_t n) {
  if (active && n) active->bytesOut->Increment(static_cast<double>(n));
}
void connectionOpened() {
  if (!active) return;
  active->connectionsAccepted->Increment();
  active->connectionsOpen->Increment();
}
void connectionClosed() {
  if (active) active->connectionsOpen->Decrement();
}
void upstreamConnectFailed() {
  if (active) active->upstreamConnectFailures->Increment();
}
void upstreamTimedOut() {
  if (active) active->upstreamTimeouts->Increment();
}
void reloaded(bool ok) {
  if (active) (ok ? active->reloads : active->reloadFailures)->Increment();
}

std::string mediaTypeLabel(std::string_view contentType) {
  std::string_view type = contentType.substr(0, contentType.find(';'));
  while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  std::string label;
  int slashes = 0;
  for (char c : type) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '/') {
      ++slashes;
    } else if (!tokenChar(c)) {
      return "other";
    }
    label += c;
  }
  if (slashes != 1 || label.front() == '/' || label.back() == '/' || label.size() > 100)
    return "other";
  return label;
}

void RequestMeter::start(std::string_view method) {
  if (!active) return;
  start_ = Clock::now();
  method_ = methodIndex(method);
}

void RequestMeter::hold(const ResponseHead& in) {
  if (!active) return;
  held_ = true;
  heldStatus_ = in.status;
  typeIn_ = mediaTypeLabel(findHeader(in.headers, "Content-Type").value_or(""));
}

void RequestMeter::done(int status, const ResponseHead* out) {
  if (!active || counted_) return;
  counted_ = true;
  Metrics& m = *active;
  if (status >= 100 && status <= 599) {
    const int method = method_ < 0 ? kOtherMethod : method_;
    m.requests[static_cast<std::size_t>(method)][static_cast<std::size_t>(status / 100 - 1)]
        ->Increment();
  }
  if (method_ >= 0)
    m.duration.observe(std::chrono::duration<double>(Clock::now() - start_).count());
  if (!held_ || !out) return;
  // The filter's answer to a conversion that failed is its 500 in place of
  // whatever the application said; a held 500 of the application's own is
  // converted like any page.
  if (out->status == 500 && heldStatus_ != 500)
    m.conversionFailures->Increment();
  else
    m.conversion(typeIn_, mediaTypeLabel(findHeader(out->headers, "Content-Type").value_or("")))
        .Increment();
}

}  // namespace vantomer::host::metrics
