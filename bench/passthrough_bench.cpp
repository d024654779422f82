// What the filter costs a response it does not convert, as nginx's module
// drives it: the request head, the request-header notification, a static
// file's response head through the response and raw-data notifications,
// and the end of the request. The body goes by sendfile and is not seen.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "vantomer_bridge.h"

namespace {

int noVariables(void*, const char*, size_t, const char**, size_t*) { return 0; }

void header(vtm_conn* conn, const char* name, const char* value, bool response) {
  (response ? vtm_response_header : vtm_request_header)(conn, name, std::strlen(name), value,
                                                        std::strlen(value));
}

void PassThrough(benchmark::State& state) {
  char error[512] = "";
  vtm_module* module = vtm_module_load(VANTOMER_BENCH_MODULE, error, sizeof error);
  if (!module) {
    state.SkipWithError(error);
    return;
  }
  const vtm_conn_info info{0, "127.0.0.1", 80, "127.0.0.1", 40000, "nginx/1.22.1"};
  vtm_conn* conn = vtm_conn_create(module, &info);
  const std::string url = "/static-10k.html";
  for (auto _ : state) {
    vtm_request_begin(conn, "GET", 3, url.data(), url.size(), "HTTP/1.1", 8, noVariables, nullptr);
    header(conn, "Host", "127.0.0.1:8080", false);
    header(conn, "User-Agent", "DoCoMo/2.0 P903i(c100;TB;W24H12)", false);
    vtm_preproc_headers(conn);
    const char* rewritten = nullptr;
    size_t length = 0;
    benchmark::DoNotOptimize(vtm_request_url(conn, &rewritten, &length));
    benchmark::DoNotOptimize(vtm_request_headers_changed(conn));
    vtm_response_begin(conn, 200, "OK", 2);
    header(conn, "Content-Type", "text/html", true);
    header(conn, "Content-Length", "10240", true);
    header(conn, "Last-Modified", "Wed, 09 Dec 2026 14:55:18 GMT", true);
    header(conn, "ETag", "\"6b196bd6-2800\"", true);
    header(conn, "Accept-Ranges", "bytes", true);
    benchmark::DoNotOptimize(vtm_send_response(conn));
    vtm_end_of_request(conn);
    vtm_request_end(conn, 0);
  }
  vtm_conn_destroy(conn);
  vtm_module_unload(module);
}
BENCHMARK(PassThrough);

}  // namespace

BENCHMARK_MAIN();
