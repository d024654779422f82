#include "vantomer_bridge.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "binding/exchange.h"
#include "binding/filter_connection.h"
#include "binding/filter_module.h"
#include "binding/message_head.h"

using namespace vantomer::host;

struct vtm_module {
  std::unique_ptr<FilterModule> module;
  // The host variables the filter has asked for: read on the event loop
  // before a notification runs on a pool thread, which may not call nginx.
  std::mutex namesLock;
  std::vector<std::string> variableNames;
};

namespace {

std::string_view view(const char* data, std::size_t len) {
  return len ? std::string_view(data, len) : std::string_view();
}

// A head's fields as nginx keeps them, through the module's visitor. What
// the binding's visitor throws is carried across the C frames, not through.
class HostFields final : public FieldSource {
 public:
  vtm_fields_fn fields = nullptr;
  void* data = nullptr;

  void forEach(Visit visit, void* state, std::size_t nameLength) const override {
    struct Relay {
      Visit visit;
      void* state;
      std::exception_ptr failure;
    } relay{visit, state, nullptr};
    fields(
        data, nameLength,
        [](void* to, const char* name, std::size_t name_len, const char* value,
           std::size_t value_len) -> int {
          auto* r = static_cast<Relay*>(to);
          try {
            r->visit(r->state, view(name, name_len), view(value, value_len));
            return 1;
          } catch (...) {
            r->failure = std::current_exception();
            return 0;
          }
        },
        &relay);
    if (relay.failure) std::rethrow_exception(relay.failure);
  }
};

}  // namespace

struct vtm_conn {
  vtm_module* module = nullptr;
  std::unique_ptr<FilterConnection> connection;
  // The fields stay nginx's (the sources) until the filter changes them.
  RequestHead request;
  HostFields requestSource;
  ResponseHead response;
  HostFields responseSource;
  std::string output;
  RawResponse parsed;
  bool parsedUsed = false;
  bool active = false;
  vtm_variable_fn variables = nullptr;
  void* variablesData = nullptr;
  // Why the last call failed, for the host's log.
  const char* error = "";
  // On a pool thread: host variables come from the values read before.
  bool threaded = false;
  Headers prefetched;
};

namespace {

void setError(char* error, std::size_t size, const std::string& message) {
  if (error && size) std::snprintf(error, size, "%s", message.c_str());
}

// Runs a step of the exchange; a failure becomes VTM_ERROR with its reason
// kept on the connection, since nothing may be thrown into C.
template <typename Step>
int guarded(vtm_conn* conn, Step step) {
  try {
    step();
    return VTM_OK;
  } catch (const std::bad_alloc&) {
    conn->error = "out of memory";
  } catch (...) {
    conn->error = "the filter binding failed";
  }
  return VTM_ERROR;
}

void learnName(vtm_module& module, std::string_view name) {
  std::lock_guard<std::mutex> lock(module.namesLock);
  auto& names = module.variableNames;
  // Names come from the filter's settings: a handful, bounded all the same.
  if (names.size() < 64 && std::find(names.begin(), names.end(), name) == names.end())
    names.emplace_back(name);
}

bool hostVariable(vtm_conn* c, std::string_view name, ValueText& out) {
  learnName(*c->module, name);
  if (c->threaded) {
    for (const Header& h : c->prefetched) {
      if (h.name != name) continue;
      out.append(h.value);
      return true;
    }
    return false;
  }
  const char* value = nullptr;
  std::size_t len = 0;
  if (!c->variables || !c->variables(c->variablesData, name.data(), name.size(), &value, &len))
    return false;
  out.append(view(value, len));
  return true;
}

}  // namespace

extern "C" {

int vtm_module_check(const char* path, char* error, size_t error_size) {
  try {
    std::string message;
    if (!FilterModule::open(path, message, true)) {
      setError(error, error_size, message);
      return 0;
    }
    // GetFilterVersion may start threads, which must not live in nginx's
    // master: it is tried in a child that reports back and exits.
    int fds[2];
    if (::pipe(fds) != 0) return 1;
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(fds[0]);
      auto module = FilterModule::load(path, message);
      if (module) module->terminate();
      const ssize_t written = ::write(fds[1], message.data(), message.size());
      (void)written;
      ::_exit(module ? 0 : 1);
    }
    ::close(fds[1]);
    if (child < 0) {
      ::close(fds[0]);
      return 1;  // the workers still load it, and say why they cannot
    }
    char buffer[512];
    std::string reply;
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
      reply.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 1;
    setError(error, error_size, reply.empty() ? "the filter module failed to start" : reply);
  } catch (...) {
    setError(error, error_size, "out of memory");
  }
  return 0;
}

vtm_module* vtm_module_load(const char* path, char* error, size_t error_size) {
  try {
    std::string message;
    auto module = FilterModule::load(path, message);
    if (!module) {
      setError(error, error_size, message);
      return nullptr;
    }
    auto* loaded = new vtm_module;
    loaded->module = std::move(module);
    return loaded;
  } catch (...) {
    setError(error, error_size, "out of memory");
    return nullptr;
  }
}

void vtm_module_unload(vtm_module* module) {
  if (!module) return;
  module->module->terminate();
  delete module;
}

vtm_conn* vtm_conn_create(vtm_module* module, const vtm_conn_info* info) {
  try {
    auto conn = std::make_unique<vtm_conn>();
    conn->module = module;
    ConnectionInfo ci;
    ci.secure = info->secure != 0;
    ci.localAddress = info->local_addr ? info->local_addr : "";
    ci.localPort = info->local_port;
    ci.remoteAddress = info->remote_addr ? info->remote_addr : "";
    ci.remotePort = info->remote_port;
    ci.serverSoftware = info->server_software ? info->server_software : "";
    vtm_conn* c = conn.get();
    conn->connection = std::make_unique<FilterConnection>(*module->module, std::move(ci),
                                                          [c](std::string_view bytes) {
                                                            c->output.append(bytes);
                                                            return true;
                                                          });
    conn->connection->setVariableSource(
        [c](std::string_view name, ValueText& out) { return hostVariable(c, name, out); });
    return conn.release();
  } catch (...) {
    return nullptr;
  }
}

void vtm_conn_destroy(vtm_conn* conn) {
  try {
    if (conn && conn->active) vtm_request_end(conn, 1);
    delete conn;
  } catch (...) {
  }
}

int vtm_request_begin(vtm_conn* conn, const char* method, size_t method_len, const char* url,
                      size_t url_len, const char* version, size_t version_len,
                      vtm_variable_fn variables, void* data) {
  if (conn->active) vtm_request_end(conn, 1);
  return guarded(conn, [&] {
    // Overwritten, not replaced: the buffers of the last request are reused.
    conn->request.headers.clear();
    conn->request.source = nullptr;
    conn->response.source = nullptr;
    copyText(conn->request.method, view(method, method_len));
    copyText(conn->request.url, view(url, url_len));
    copyText(conn->request.version, view(version, version_len));
    conn->variables = variables;
    conn->variablesData = data;
    conn->output.clear();
    // The last answer's memory goes back; most requests had none.
    if (conn->parsedUsed) conn->parsed = RawResponse{};
    conn->parsedUsed = false;
    conn->active = true;
    conn->connection->beginRequest(conn->request);
  });
}

int vtm_request_method(vtm_conn* conn, const char* method, size_t method_len) {
  return guarded(conn, [&] { copyText(conn->request.method, view(method, method_len)); });
}

void vtm_request_fields(vtm_conn* conn, vtm_fields_fn fields, void* data) {
  conn->requestSource.fields = fields;
  conn->requestSource.data = data;
  conn->request.source = &conn->requestSource;
}

int vtm_preproc_headers(vtm_conn* conn) {
  const int rc = guarded(conn, [&] { conn->connection->preprocHeaders(); });
  if (rc != VTM_OK) return rc;
  return conn->connection->requestFinished() ? VTM_FINISHED : VTM_OK;
}

int vtm_request_url(vtm_conn* conn, const char** url, size_t* len) {
  *url = conn->request.url.data();
  *len = conn->request.url.size();
  return conn->connection->urlChanged() ? 1 : 0;
}

int vtm_request_headers_changed(vtm_conn* conn) {
  return conn->connection->requestHeadersChanged() ? 1 : 0;
}

// Read once the headers changed: the filter's copy by then.
size_t vtm_request_header_count(vtm_conn* conn) {
  return conn->request.source ? 0 : conn->request.headers.size();
}

void vtm_request_header_at(vtm_conn* conn, size_t i, const char** name, size_t* name_len,
                           const char** value, size_t* value_len) {
  const Header& h = conn->request.headers[i];
  *name = h.name.data();
  *name_len = h.name.size();
  *value = h.value.data();
  *value_len = h.value.size();
}

int vtm_response_begin(vtm_conn* conn, unsigned status, const char* reason, size_t reason_len) {
  return guarded(conn, [&] {
    conn->response.headers.clear();
    conn->response.source = nullptr;
    copyText(conn->response.version, "HTTP/1.1");
    conn->response.status = static_cast<int>(status);
    copyText(conn->response.reason, view(reason, reason_len));
  });
}

void vtm_response_fields(vtm_conn* conn, vtm_fields_fn fields, void* data) {
  conn->responseSource.fields = fields;
  conn->responseSource.data = data;
  conn->response.source = &conn->responseSource;
}

int vtm_send_response(vtm_conn* conn) {
  int result = VTM_HEAD_TAKEN;
  const int rc = guarded(conn, [&] {
    FilterConnection& filter = *conn->connection;
    conn->output.clear();
    filter.sendResponse(conn->response);
    if (filter.requestFinished()) {
      result = VTM_FINISHED;
      return;
    }
    // A head the filter neither changed nor asks to see goes on as nginx has it.
    if (!filter.responseHeadChanged() && !filter.wantsRawData()) {
      result = VTM_HEAD_UNTOUCHED;
      return;
    }
    if (!filter.responseHeadChanged()) conn->response.format();
    filter.sendRawData(conn->response.raw);
    if (filter.requestFinished()) {
      result = VTM_FINISHED;
    } else if (!filter.responseHeadChanged() && conn->output == conn->response.raw) {
      conn->output.clear();
      result = VTM_HEAD_UNTOUCHED;
    }
  });
  return rc == VTM_OK ? result : rc;
}

int vtm_conn_wants_raw_data(const vtm_conn* conn) {
  return conn->connection->wantsRawData() ? 1 : 0;
}

int vtm_raw_data(vtm_conn* conn, const char* data, size_t len) {
  const int rc = guarded(conn, [&] { conn->connection->sendRawData(view(data, len)); });
  if (rc != VTM_OK) {
    // What the filter wrote of the block may be partial: none of it goes out.
    conn->connection->discardOutput();
    return rc;
  }
  return conn->connection->requestFinished() ? VTM_FINISHED : VTM_OK;
}

int vtm_end_of_request(vtm_conn* conn) {
  return guarded(conn, [&] { conn->connection->endOfRequest(); });
}

void vtm_request_end(vtm_conn* conn, int aborted) {
  try {
    if (!conn->active) return;
    if (aborted) {
      conn->connection->discardOutput();
      conn->connection->endOfRequest();
    }
    conn->connection->endRequest();
  } catch (...) {
  }
  conn->active = false;
  conn->variables = nullptr;
  // nginx's lists go with the request.
  conn->request.source = nullptr;
  conn->response.source = nullptr;
}

void vtm_output(vtm_conn* conn, const char** data, size_t* len) {
  *data = conn->output.data();
  *len = conn->output.size();
}

void vtm_output_clear(vtm_conn* conn) { conn->output.clear(); }

int vtm_output_parse(vtm_conn* conn, unsigned* status, const char** body, size_t* body_len) {
  bool whole = false;
  const int rc = guarded(conn, [&] {
    if (conn->output.find("\r\n\r\n") == std::string::npos) return;
    conn->parsedUsed = true;
    conn->parsed = splitRawResponse(conn->output);
    if (conn->parsed.head.status < 100 || conn->parsed.head.status > 999) return;
    *status = static_cast<unsigned>(conn->parsed.head.status);
    *body = conn->parsed.body.data();
    *body_len = conn->parsed.body.size();
    whole = true;
  });
  if (rc == VTM_OK && !whole) {
    conn->error = "the filter's answer has no complete response head";
    return VTM_ERROR;
  }
  return rc;
}

const char* vtm_conn_error(const vtm_conn* conn) { return conn->error; }

int vtm_conn_prefetch(vtm_conn* conn) {
  return guarded(conn, [&] {
    std::vector<std::string> names;
    {
      std::lock_guard<std::mutex> lock(conn->module->namesLock);
      names = conn->module->variableNames;
    }
    conn->request.ownHeaders();
    conn->response.ownHeaders();
    conn->prefetched.clear();
    for (const std::string& name : names) {
      const char* value = nullptr;
      std::size_t len = 0;
      if (conn->variables &&
          conn->variables(conn->variablesData, name.data(), name.size(), &value, &len))
        conn->prefetched.push_back({name, std::string(view(value, len))});
    }
  });
}

void vtm_conn_threaded(vtm_conn* conn, int threaded) { conn->threaded = threaded != 0; }

size_t vtm_output_header_count(vtm_conn* conn) { return conn->parsed.head.headers.size(); }

void vtm_output_header_at(vtm_conn* conn, size_t i, const char** name, size_t* name_len,
                          const char** value, size_t* value_len) {
  const Header& h = conn->parsed.head.headers[i];
  *name = h.name.data();
  *name_len = h.name.size();
  *value = h.value.data();
  *value_len = h.value.size();
}

}  // extern "C"
