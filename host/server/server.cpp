#include "server/server.h"

#include <sys/resource.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <csignal>
#include <iostream>
#include <list>
#include <mutex>
#include <thread>

#include "server/listen_socket.h"
#include "server/metrics.h"
#include "server/metrics_listener.h"
#include "server/reload.h"

namespace vantomer::host {
namespace {

struct Listener {
  std::unique_ptr<tcp::acceptor> acceptor;
  asio::ssl::context* tls = nullptr;
  std::string url;
};

// One I/O context per thread, each run by its own thread alone: a
// connection stays on the thread that accepted it, so its coroutine, its
// timers and its memory never cross to another core. Listeners, signals and
// the grace timer live on the first.
class Server {
 public:
  Server(std::vector<std::unique_ptr<asio::io_context>>& contexts, ServerShared& shared)
      : io_(*contexts.front()), contexts_(contexts), shared_(shared) {}

  bool listen(const std::string& host, unsigned port, asio::ssl::context* tls, std::string& error) {
    tcp::endpoint endpoint;
    auto acceptor = listenOn(io_, host, port, "", endpoint, error);
    if (!acceptor) return false;
    const std::string shown = endpoint.address().is_v6()
                                  ? "[" + endpoint.address().to_string() + "]"
                                  : endpoint.address().to_string();
    listeners_.push_back(
        Listener{std::move(acceptor), tls,
                 std::string(tls ? "https://" : "http://") + shown + ":" + std::to_string(port)});
    return true;
  }

  const std::list<Listener>& listeners() const { return listeners_; }

  void start() {
    for (Listener& l : listeners_)
      asio::co_spawn(l.acceptor->get_executor(), accept(l), asio::detached);
  }

  void stop() {
    if (shared_.stopping.exchange(true)) {
      std::cerr << "vantomer: stopping now\n";
      stopAll();
      return;
    }
    for (Listener& l : listeners_) {
      tcp::acceptor* acceptor = l.acceptor.get();
      asio::post(acceptor->get_executor(), [acceptor] {
        error_code ec;
        acceptor->close(ec);
      });
    }
    std::size_t open = 0;
    bool none = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      none = active_ == 0;
      for (auto& weak : connections_) {
        if (auto entry = weak.lock()) {
          ++open;
          asio::post(entry->executor, [entry] { entry->connection.stopIfIdle(); });
        }
      }
    }
    std::cerr << "vantomer: stopping after the requests in flight (" << open << " connection"
              << (open == 1 ? "" : "s") << " open)\n";
    graceTimer_ = std::make_unique<asio::steady_timer>(io_, shared_.limits.readTimeout);
    graceTimer_->expires_after(grace_);
    graceTimer_->async_wait([this](const error_code& ec) {
      if (ec) return;
      std::cerr << "vantomer: requests still running after the grace period; stopping now\n";
      stopAll();
    });
    if (none) stopAll();
  }

  void stopAll() {
    for (auto& context : contexts_) context->stop();
  }

  void setGrace(Duration grace) { grace_ = grace; }
  void setMaxConnections(std::size_t max) { maxConnections_ = max; }

 private:
  struct Entry {
    Entry(ServerShared& shared, std::unique_ptr<ClientStream> stream, asio::any_io_executor ex)
        : connection(shared, std::move(stream)), executor(std::move(ex)) {}
    Connection connection;
    asio::any_io_executor executor;
  };

  awaitable<void> accept(Listener& listener) {
    for (;;) {
      error_code ec;
      asio::io_context& context = *contexts_[next_++ % contexts_.size()];
      tcp::socket socket = co_await listener.acceptor->async_accept(context, awaitWith(ec));
      if (shared_.stopping || ec == asio::error::operation_aborted ||
          ec == asio::error::bad_descriptor)
        co_return;
      if (ec) {
        // Out of descriptors and the like: let the load pass.
        asio::steady_timer pause(co_await asio::this_coro::executor, std::chrono::milliseconds(50));
        co_await pause.async_wait(awaitWith(ec));
        continue;
      }
      if (!makeRoom()) {
        refuse(socket);
        continue;
      }
      socket.set_option(tcp::no_delay(true), ec);
      asio::any_io_executor executor = socket.get_executor();
      std::unique_ptr<ClientStream> stream = listener.tls
                                                 ? makeTlsStream(std::move(socket), *listener.tls)
                                                 : makePlainStream(std::move(socket));
      auto entry = std::make_shared<Entry>(shared_, std::move(stream), executor);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(connections_, [](const std::weak_ptr<Entry>& w) { return w.expired(); });
        connections_.push_back(entry);
        ++active_;
      }
      metrics::connectionOpened();
      asio::co_spawn(executor, entry->connection.run(), [this, entry](std::exception_ptr e) {
        if (e) {
          try {
            std::rethrow_exception(e);
          } catch (const std::exception& x) {
            std::cerr << "vantomer: connection failed: " + std::string(x.what()) + "\n";
          } catch (...) {
            std::cerr << "vantomer: connection failed\n";
          }
          entry->connection.close();
        }
        metrics::connectionClosed();
        std::size_t left;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          left = --active_;
        }
        if (left == 0 && shared_.stopping) stopAll();
      });
    }
  }

  // At the cap an idle keep-alive connection makes way for the new one;
  // false when none waits.
  bool makeRoom() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_ < maxConnections_) return true;
    for (auto& weak : connections_) {
      auto entry = weak.lock();
      if (!entry || !entry->connection.idle()) continue;
      asio::post(entry->executor, [entry] { entry->connection.stopIfIdle(); });
      weak.reset();
      return true;
    }
    return false;
  }

  // A clear answer instead of a client left waiting for one.
  static void refuse(tcp::socket& socket) {
    static const std::string kBusy =
        "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n"
        "Content-Length: 24\r\nRetry-After: 1\r\nConnection: close\r\n\r\n"
        "503 Service Unavailable\n";
    error_code ec;
    socket.non_blocking(true, ec);
    asio::write(socket, asio::buffer(kBusy), ec);
    socket.shutdown(tcp::socket::shutdown_both, ec);
    socket.close(ec);
  }

  asio::io_context& io_;
  std::size_t maxConnections_ = SIZE_MAX;
  std::vector<std::unique_ptr<asio::io_context>>& contexts_;
  std::size_t next_ = 0;
  ServerShared& shared_;
  std::list<Listener> listeners_;
  std::mutex mutex_;
  std::vector<std::weak_ptr<Entry>> connections_;
  std::size_t active_ = 0;
  Duration grace_{30000};
  std::unique_ptr<asio::steady_timer> graceTimer_;
};

}  // namespace

std::size_t defaultMaxConnections() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 10000;
  const std::size_t files = static_cast<std::size_t>(limit.rlim_cur);
  return files > 128 ? (files - 64) / 2 : 32;
}

int runServer(const ServeOptions& options, const ApplicationFactory& makeApplication) {
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  std::unique_ptr<FilterModule> module = FilterModule::load(options.modulePath, error);
  if (!module) {
    std::cerr << "vantomer: " << error << "\n";
    return 1;
  }

  std::shared_ptr<asio::ssl::context> tls;
  if (!options.tlsCertificate.empty()) {
    tls = makeTlsContext(options.tlsCertificate, options.tlsKey, error);
    if (!tls) {
      std::cerr << "vantomer: " << error << "\n";
      return 1;
    }
  }

  unsigned threads = options.threads ? options.threads : std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  // Whatever coroutine frames the I/O context still holds when it goes may
  // refer to these: they outlive it.
  AccessLog log(options.accessLog);
  std::unique_ptr<Application> application;
  std::unique_ptr<ServerShared> shared;
  asio::thread_pool workers(std::max(2u, threads / 2));
  {
    std::vector<std::unique_ptr<asio::io_context>> contexts;
    std::vector<asio::executor_work_guard<asio::io_context::executor_type>> busy;
    for (unsigned i = 0; i < threads; ++i) {
      contexts.push_back(std::make_unique<asio::io_context>(1));
      busy.push_back(asio::make_work_guard(*contexts.back()));
    }
    asio::io_context& io = *contexts.front();
    application = makeApplication(error);
    if (!application) {
      std::cerr << "vantomer: " << error << "\n";
      return 1;
    }
    shared.reset(new ServerShared{*module, *application, log, options.limits, {}, {}, {}});
    shared->workers = workers.get_executor();
    Server server(contexts, *shared);
    server.setGrace(options.grace);
    server.setMaxConnections(options.maxConnections ? options.maxConnections
                                                    : defaultMaxConnections());
    if (!server.listen(options.listenHost, options.listenPort, nullptr, error) ||
        (tls && !server.listen(options.tlsListenHost, options.tlsListenPort, tls.get(), error))) {
      std::cerr << "vantomer: " << error << "\n";
      return 1;
    }
    if (!options.metricsHost.empty() &&
        !startMetricsListener(io, options.metricsHost, options.metricsPort, error)) {
      std::cerr << "vantomer: " << error << "\n";
      return 1;
    }

    asio::signal_set signals(io, SIGINT, SIGTERM, SIGHUP);
    // SIGHUP reads the filter's files anew, off the I/O threads: it waits
    // for the requests inside the filter.
    std::thread reloader;
    std::atomic<bool> reloading{false};
    std::function<void(const error_code&, int)> onSignal = [&](const error_code& ec, int number) {
      if (ec) return;
      if (number != SIGHUP) {
        server.stop();
      } else if (!shared->stopping && !reloading.exchange(true)) {
        if (reloader.joinable()) reloader.join();
        reloader = std::thread([&] {
          // New requests wait at most this long; a reload that would need
          // longer is postponed rather than stall the site.
          const auto patience = std::min<std::chrono::milliseconds>(
              std::chrono::duration_cast<std::chrono::milliseconds>(options.grace),
              std::chrono::seconds(2));
          metrics::reloaded(reloadFilter(*module, *shared, patience));
          reloading = false;
        });
      }
      signals.async_wait(onSignal);
    };
    signals.async_wait(onSignal);

    server.start();
    for (const Listener& l : server.listeners())
      std::cerr << "vantomer: serving " << l.url << " with " << module->path() << " ("
                << module->description() << ") in front of " << options.behind << "\n";

    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i)
      pool.emplace_back([context = contexts[i].get()] { context->run(); });
    io.run();
    for (std::thread& t : pool) t.join();
    if (reloader.joinable()) reloader.join();
    workers.stop();
    workers.join();
    application->close();
  }  // connections go before the module is told to stop
  module->terminate();
  std::cerr << "vantomer: stopped\n";
  return 0;
}

}  // namespace vantomer::host
