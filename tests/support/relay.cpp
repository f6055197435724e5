// The relay: one thread accepts, one thread per connection pumps bytes both ways and counts
// the server's bytes against the budget that cutAfter or stallAfter set.
#include "relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace testsupport {

enum class Mode { Pass, Cut, Stall };

struct Relay::State {
  std::mutex mutex;
  Mode mode = Mode::Pass;
  qint64 budget = 0;  // server bytes that may still pass in Cut and Stall
  qint64 passed = 0;
  qint64 trips = 0;
  std::atomic<bool> stop{false};
  int listener = -1;
  sockaddr_in target{};
  std::vector<std::thread> threads;

  // How many of `wanted` server bytes may pass now; `after` tells what then happens.
  qint64 allow(qint64 wanted, Mode& after) {
    std::lock_guard lock(mutex);
    after = mode;
    const qint64 n = mode == Mode::Pass ? wanted : qMin(wanted, budget);
    if (mode != Mode::Pass) budget -= n;
    passed += n;
    if (mode != Mode::Pass && budget > 0) after = Mode::Pass;  // the budget is not spent yet
    return n;
  }
  bool stalled() {
    std::lock_guard lock(mutex);
    return mode == Mode::Stall && budget <= 0;
  }
};

namespace {

bool sendAll(int fd, const char* data, qint64 size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

void pump(Relay::State* state, int client, int server) {
  char buffer[16384];
  bool answered = true;  // the server spoke last; the client's next bytes are a new request
  for (;;) {
    if (state->stop) break;
    if (state->stalled()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    if (::poll(fds, 2, 50) < 0) break;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0 || !sendAll(server, buffer, n)) break;
      if (answered) {
        std::lock_guard lock(state->mutex);
        ++state->trips;
      }
      answered = false;
    }
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      if (state->stalled()) continue;
      const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      Mode after = Mode::Pass;
      const qint64 allowed = state->allow(n, after);
      if (!sendAll(client, buffer, allowed)) break;
      answered = true;
      if (after == Mode::Cut) break;
      // A stall keeps the rest of this piece back for good.
    }
  }
  ::shutdown(client, SHUT_RDWR);
  ::shutdown(server, SHUT_RDWR);
  ::close(client);
  ::close(server);
}

void acceptLoop(Relay::State* state) {
  while (!state->stop) {
    pollfd fd{state->listener, POLLIN, 0};
    if (::poll(&fd, 1, 50) <= 0) continue;
    const int client = ::accept(state->listener, nullptr, nullptr);
    if (client < 0) continue;
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&state->target), sizeof state->target) != 0) {
      ::close(server);
      ::close(client);
      continue;
    }
    std::lock_guard lock(state->mutex);
    state->threads.emplace_back(pump, state, client, server);
  }
}

}  // namespace

Relay::Relay(const QString& host, quint16 port) : state_(std::make_shared<State>()) {
  state_->target.sin_family = AF_INET;
  state_->target.sin_port = htons(port);
  ::inet_pton(AF_INET, host.toLatin1().constData(), &state_->target.sin_addr);
  state_->listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(state_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(state_->listener, 16) != 0)
    throw std::runtime_error("relay cannot listen");
  std::lock_guard lock(state_->mutex);
  state_->threads.emplace_back(acceptLoop, state_.get());
}

Relay::~Relay() {
  state_->stop = true;
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(state_->mutex);
    threads.swap(state_->threads);
  }
  for (std::thread& t : threads) t.join();
  // Connections accepted while the first threads were joined.
  for (std::thread& t : state_->threads) t.join();
  ::close(state_->listener);
}

quint16 Relay::port() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  ::getsockname(state_->listener, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

void Relay::cutAfter(qint64 bytes) {
  std::lock_guard lock(state_->mutex);
  state_->mode = Mode::Cut;
  state_->budget = bytes;
  state_->passed = 0;
  state_->trips = 0;
}

void Relay::stallAfter(qint64 bytes) {
  std::lock_guard lock(state_->mutex);
  state_->mode = Mode::Stall;
  state_->budget = bytes;
  state_->passed = 0;
  state_->trips = 0;
}

void Relay::passAll() {
  std::lock_guard lock(state_->mutex);
  state_->mode = Mode::Pass;
  state_->passed = 0;
  state_->trips = 0;
}

qint64 Relay::roundTrips() const {
  std::lock_guard lock(state_->mutex);
  return state_->trips;
}

qint64 Relay::answerBytes() const {
  std::lock_guard lock(state_->mutex);
  return state_->passed;
}

}  // namespace testsupport
