// What one converted page costs, against the floor (libxml2 parsing and
// serialising the same text) and against what a site would otherwise run
// (an XSLT stylesheet doing the i-mode work, then iconv to code page 932).
// Prints the medians and their ratios at the end.

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "config/load_settings.h"
#include "config/select_profile.h"
#include "convert/load_document.h"
#include "filter/convert_page.h"
#include "filter/filter.h"
#include "platform/dom.h"

namespace {

using namespace vantomer;

const std::string kSourceDir = VANTOMER_SOURCE_DIR;

struct Page {
  std::string name;  // 2k, 10k, 100k
  HeldResponse response;
  ResponseBody body;
  std::string parseText;  // DOCTYPE prefix + body, as the parser sees it
};

struct Family {
  std::string name;
  std::string userAgent;
  const OutputCoordinator* profile = nullptr;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bench: cannot read %s\n", path.c_str());
    std::exit(1);
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The example settings and emoji table, as the module loads them.
Filter& theFilter() {
  static Filter filter;
  return filter;
}

// The request a converted page belongs to; a stock key only where asked.
RequestFacts benchRequest(bool withKey) {
  RequestFacts request;
  request.userAgent = "DoCoMo/2.0 P903i(c100;TB;W24H12)";
  request.host = "m.example.jp";
  request.basePath = "/news/index.tm";
  if (withKey) request.stockKey = "ABCDEFGHIJKLMNOP";
  return request;
}

HRESULT convertOnce(const Page& page, const OutputCoordinator& profile, const RequestFacts& request,
                    ResponseBody* out = nullptr) {
  HeldResponse response = page.response;
  ResponseBody body = page.body;
  dom::Document document;
  HRESULT hr = LoadDocument(theFilter().input(), response, body, document);
  if (hr == S_OK) hr = convertPage(theFilter(), profile, request, response, body, document);
  benchmark::DoNotOptimize(body.data());
  if (out) *out = std::move(body);
  return hr;
}

void BM_Convert(benchmark::State& state, const Page* page, const Family* family, bool withKey) {
  const RequestFacts request = benchRequest(withKey);
  for (auto _ : state) {
    if (convertOnce(*page, *family->profile, request) != S_OK) {
      state.SkipWithError("conversion failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page->body.size()));
}

xmlDocPtr parseFloor(const std::string& text) {
  // The parser options the DOM uses for a page: entities stay references,
  // nothing from the network, no messages, small texts inside their nodes,
  // UTF-8 read in place.
  return xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                           XML_PARSE_COMPACT | XML_PARSE_IGNORE_ENC);
}

void BM_Libxml2(benchmark::State& state, const Page* page) {
  for (auto _ : state) {
    xmlDocPtr doc = parseFloor(page->parseText);
    if (!doc) {
      state.SkipWithError("parse failed");
      break;
    }
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, doc, xmlDocGetRootElement(doc), 0, 0);
    benchmark::DoNotOptimize(xmlBufferContent(buffer));
    xmlBufferFree(buffer);
    xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page->body.size()));
}

xsltStylesheetPtr gStylesheet = nullptr;

// UTF-8 to code page 932 with iconv, as the filter's i-mode profile writes.
bool toCp932(iconv_t cd, const char* utf8, std::size_t length, std::string& out) {
  out.resize(length * 2 + 16);
  char* in = const_cast<char*>(utf8);
  std::size_t inLeft = length;
  char* to = out.data();
  std::size_t toLeft = out.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1)) return false;
  out.resize(out.size() - toLeft);
  return true;
}

// The i-mode profile's XML declaration and DTD, written ahead of the result
// as the filter does.
std::string gPrologue;

bool transformOnce(const Page& page, iconv_t cd, std::string& out) {
  xmlDocPtr doc = parseFloor(page.parseText);
  if (!doc) return false;
  xmlDocPtr result = xsltApplyStylesheet(gStylesheet, doc, nullptr);
  bool ok = result != nullptr;
  if (ok) {
    xmlChar* text = nullptr;
    int length = 0;
    ok = xsltSaveResultToString(&text, &length, result, gStylesheet) == 0 && text &&
         toCp932(cd, reinterpret_cast<const char*>(text), static_cast<std::size_t>(length), out);
    if (ok) out.insert(0, gPrologue);
    xmlFree(text);
    xmlFreeDoc(result);
  }
  xmlFreeDoc(doc);
  return ok;
}

void BM_Xslt(benchmark::State& state, const Page* page) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string out;
  for (auto _ : state) {
    if (!transformOnce(*page, cd, out)) {
      state.SkipWithError("transformation failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page->body.size()));
}

// Keeps the median CPU time of every benchmark while the console shows all.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> medianNs;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // Without repetitions there is no median: the one run stands in.
      if (run.aggregate_name == "median" ||
          (run.run_type == Run::RT_Iteration && run.repetitions <= 1))
        medianNs[run.run_name.str()] = run.GetAdjustedCPUTime() * multiplier(run.time_unit);
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  static double multiplier(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond:
        return 1e9;
      case benchmark::kMillisecond:
        return 1e6;
      case benchmark::kMicrosecond:
        return 1e3;
      default:
        return 1;
    }
  }
};

std::string cell(double value, const char* format) {
  if (value <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void printRatios(const MedianReporter& reporter, const std::vector<std::unique_ptr<Page>>& pages,
                 const std::vector<Family>& families) {
  auto find = [&](const std::string& name) {
    auto it = reporter.medianNs.find(name);
    return it == reporter.medianNs.end() ? -1.0 : it->second / 1e3;
  };
  std::printf("\nMedian CPU time per page in microseconds, and ratios\n");
  std::printf("%-6s %-10s %10s %10s %10s %10s %10s\n", "page", "profile", "convert", "libxml2",
              "xslt", "conv/xml2", "xslt/conv");
  for (const auto& page : pages) {
    const double floor = find("libxml2/" + page->name);
    const double xslt = find("xslt-imode/" + page->name);
    auto row = [&](const std::string& profile, double convert, bool peer) {
      if (convert <= 0) return;
      std::printf("%-6s %-10s %10s %10s %10s %10s %10s\n", page->name.c_str(), profile.c_str(),
                  cell(convert, "%.1f").c_str(), cell(floor, "%.1f").c_str(),
                  peer ? cell(xslt, "%.1f").c_str() : "",
                  cell(floor > 0 ? convert / floor : 0, "%.2f").c_str(),
                  peer ? cell(xslt > 0 ? xslt / convert : 0, "%.2f").c_str() : "");
    };
    for (const Family& family : families)
      row(family.name, find("convert/" + page->name + "/" + family.name), family.name == "imode");
    row("imode+key", find("convert-with-key/" + page->name + "/imode"), false);
  }
  std::printf("Targets: conv/xml2 at most 1.5, xslt/conv at least 3.\n");
}

// This is the project's one optimised (Release) build. Attribute rewrites
// that replace a value held in several nodes, or by an empty one, must
// finish here too: a child process converts such a page under a watchdog.
std::string checkAwkwardPage(const std::vector<Family>& families) {
  Page page;
  const std::string text =
      "<html><body><form action=\"a.tm?&copy;\"><input k-mode=\"x\" istyle=\"2\"/>"
      "<textarea k-mode=\"jp\" istyle=\"\" style=\"\"></textarea></form>"
      "<a href=\"b&reg;.tm\">b</a></body></html>";
  parseHeldResponse("HTTP/1.1 200 OK\r\nContent-Type: text/x-telmark; charset=UTF-8\r\n\r\n" + text,
                    page.response, page.body);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return "cannot start the check of attribute rewrites";
  if (child == 0) {
    alarm(30);
    for (const Family& family : families) {
      for (const bool withKey : {false, true}) {
        if (convertOnce(page, *family.profile, benchRequest(withKey)) != S_OK) _exit(2);
      }
    }
    _exit(0);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return "lost the check of attribute rewrites";
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
    return "converting a page whose attribute values hold entity references or are "
           "replaced by empty ones did not finish within 30 s";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "a page whose attribute values hold entity references or are replaced by empty "
           "ones does not convert";
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  dom::initialize();
  // The records are read as the module reads them, but no sweep timer
  // starts: a second thread would put glibc's allocator on its locked path
  // and make every count here larger.
  Filter& filter = theFilter();
  const std::string settingsPath = kSourceDir + "/examples/Vantomer.setting";
  std::string problem;
  if (failed(loadSettings(settingsPath,
                          SettingsTargets{filter.settings(), filter.input(), filter.profiles(),
                                          filter.cookieStocker().timeoutMinutes},
                          &problem)) ||
      filter.profiles().empty()) {
    std::fprintf(stderr, "bench: %s does not load: %s\n", settingsPath.c_str(), problem.c_str());
    return 1;
  }
  if (failed(filter.emojiTable().load(kSourceDir + "/examples/Emoji.setting"))) {
    std::fprintf(stderr, "bench: the emoji table does not load\n");
    return 1;
  }

  // One User-Agent per family of the example settings; each picks its profile.
  std::vector<Family> families = {
      {"imode", "DoCoMo/2.0 P903i(c100;TB;W24H12)"},
      {"ezweb", "KDDI-SA31 UP.Browser/6.2.0.7.3.129 (GUI) MMP/2.0"},
      {"jsky", "SoftBank/1.0/910T/TJ001/SN123456789 Browser/NetFront/3.3"},
      {"pc", "Mozilla/5.0 (X11; Linux x86_64) Firefox/115.0"}};
  for (Family& family : families) {
    family.profile = selectProfile(theFilter().profiles(), family.userAgent);
    if (!family.profile) {
      std::fprintf(stderr, "bench: no profile for %s\n", family.userAgent.c_str());
      return 1;
    }
  }

  std::vector<std::unique_ptr<Page>> pages;
  for (const char* name : {"2k", "10k", "100k"}) {
    auto page = std::make_unique<Page>();
    page->name = name;
    const std::string text = readFile(kSourceDir + "/examples/pages/bench-" + name + ".tm");
    const std::string held =
        "HTTP/1.1 200 OK\r\nContent-Type: text/x-telmark; charset=UTF-8\r\nContent-Length: " +
        std::to_string(text.size()) + "\r\n\r\n" + text;
    parseHeldResponse(held, page->response, page->body);
    page->parseText = theFilter().input().docType + page->body;
    pages.push_back(std::move(page));
  }

  gPrologue = families[0].profile->xmlDeclaration + families[0].profile->xmlDtd;
  const std::string stylesheetPath = kSourceDir + "/bench/telmark-imode.xsl";
  gStylesheet = xsltParseStylesheetFile(reinterpret_cast<const xmlChar*>(stylesheetPath.c_str()));
  if (!gStylesheet) {
    std::fprintf(stderr, "bench: %s does not load\n", stylesheetPath.c_str());
    return 1;
  }

  // --dump=DIR writes what the filter and the stylesheet make of each page
  // for the i-mode profile, to compare them, and runs nothing.
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--dump=", 7) != 0) continue;
    const std::string dir = argv[i] + 7;
    iconv_t cd = iconv_open("CP932", "UTF-8");
    for (const auto& page : pages) {
      ResponseBody converted;
      std::string transformed;
      convertOnce(*page, *families[0].profile, benchRequest(false), &converted);
      transformOnce(*page, cd, transformed);
      std::ofstream(dir + "/" + page->name + "-filter.html", std::ios::binary) << converted;
      std::ofstream(dir + "/" + page->name + "-xslt.html", std::ios::binary) << transformed;
    }
    iconv_close(cd);
    return 0;
  }

  // Every page must convert before it is timed, with and without a stock key.
  for (const auto& page : pages) {
    for (const Family& family : families) {
      for (const bool withKey : {false, true}) {
        ResponseBody out;
        const HRESULT hr = convertOnce(*page, *family.profile, benchRequest(withKey), &out);
        if (hr != S_OK) {
          std::fprintf(stderr, "bench: page %s does not convert for %s (0x%08X)\n",
                       page->name.c_str(), family.name.c_str(), static_cast<unsigned>(hr));
          return 1;
        }
      }
    }
  }
  const std::string awkwardProblem = checkAwkwardPage(families);
  if (!awkwardProblem.empty()) std::fprintf(stderr, "bench: FAILURE: %s\n", awkwardProblem.c_str());

  for (const auto& page : pages) {
    for (const Family& family : families)
      benchmark::RegisterBenchmark(("convert/" + page->name + "/" + family.name).c_str(),
                                   BM_Convert, page.get(), &family, false)
          ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("convert-with-key/" + page->name + "/imode").c_str(), BM_Convert,
                                 page.get(), &families[0], true)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("libxml2/" + page->name).c_str(), BM_Libxml2, page.get())
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("xslt-imode/" + page->name).c_str(), BM_Xslt, page.get())
        ->Unit(benchmark::kMicrosecond);
  }

  // Medians of five repetitions unless told otherwise.
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=5";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  bool hasRepetitions = false;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0) hasRepetitions = true;
  if (!hasRepetitions) {
    args.push_back(repetitions.data());
    args.push_back(aggregates.data());
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printRatios(reporter, pages, families);
  benchmark::Shutdown();
  xsltFreeStylesheet(gStylesheet);
  if (!awkwardProblem.empty()) {
    std::fprintf(stderr, "bench: FAILURE: %s\n", awkwardProblem.c_str());
    return 1;
  }
  return 0;
}
