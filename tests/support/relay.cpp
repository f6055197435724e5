// The relay: one thread accepts, one thread per connection pumps bytes both ways and counts
// the server's bytes against the budget that cutAfter or stallAfter set. A delayed connection
// keeps the bytes of each direction in a queue, each piece stamped with the time it may go on.
#include "relay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <string>
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
  std::atomic<bool> stop{false};
  int listener = -1;
  sockaddr_in target{};
  std::vector<std::thread> threads;
  std::chrono::milliseconds delay{0};  // each way, for connections accepted from now on
  std::atomic<qint64> roundTrips{0};
  std::atomic<qint64> connections{0};

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

// A connection's exchange so far: the server's first bytes after the client spoke close one
// round trip.
struct Turns {
  Relay::State* state;
  bool clientSpoke = false;
  void client() { clientSpoke = true; }
  void server() {
    if (clientSpoke) ++state->roundTrips;
    clientSpoke = false;
  }
};

void closeBoth(int client, int server) {
  ::shutdown(client, SHUT_RDWR);
  ::shutdown(server, SHUT_RDWR);
  ::close(client);
  ::close(server);
}

void pump(Relay::State* state, int client, int server) {
  char buffer[16384];
  Turns turns{state};
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
      turns.client();
    }
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      if (state->stalled()) continue;
      const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      turns.server();
      Mode after = Mode::Pass;
      const qint64 allowed = state->allow(n, after);
      if (!sendAll(client, buffer, allowed)) break;
      if (after == Mode::Cut) break;
      // A stall keeps the rest of this piece back for good.
    }
  }
  closeBoth(client, server);
}

using Clock = std::chrono::steady_clock;

// Bytes on their way in one direction, oldest first.
struct Lane {
  struct Piece {
    Clock::time_point due;
    std::string bytes;
    size_t sent = 0;
  };
  std::deque<Piece> pieces;
  bool due(Clock::time_point now) const { return !pieces.empty() && pieces.front().due <= now; }
  // Sends what is due without blocking; false when the receiver is gone.
  bool flush(int fd, Clock::time_point now) {
    while (due(now)) {
      Piece& piece = pieces.front();
      const ssize_t n = ::send(fd, piece.bytes.data() + piece.sent, piece.bytes.size() - piece.sent,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
      piece.sent += static_cast<size_t>(n);
      if (piece.sent < piece.bytes.size()) return true;
      pieces.pop_front();
    }
    return true;
  }
  // Milliseconds until the first piece is due (rounded up), or `limit`.
  int wait(Clock::time_point now, int limit) const {
    if (pieces.empty()) return limit;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(pieces.front().due - now).count();
    return static_cast<int>(std::clamp<qint64>(left, 0, limit));
  }
};

// As pump, with every byte held back `delay` in each direction. A side that has closed its end
// is closed on the other side too once its last bytes have passed.
void delayedPump(Relay::State* state, int client, int server, std::chrono::milliseconds delay) {
  char buffer[65536];
  Turns turns{state};
  Lane toServer, toClient;
  bool clientEnded = false, serverEnded = false;
  for (;;) {
    if (state->stop) break;
    Clock::time_point now = Clock::now();
    if ((clientEnded && toServer.pieces.empty()) || (serverEnded && toClient.pieces.empty())) break;
    const bool stalled = state->stalled();
    pollfd fds[2] = {{client, 0, 0}, {server, 0, 0}};
    if (!clientEnded) fds[0].events |= POLLIN;
    if (!serverEnded && !stalled) fds[1].events |= POLLIN;
    if (toClient.due(now)) fds[0].events |= POLLOUT;
    if (toServer.due(now)) fds[1].events |= POLLOUT;
    const int timeout = toServer.wait(now, toClient.wait(now, 50));
    if (::poll(fds, 2, timeout) < 0) break;
    now = Clock::now();
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR) && !clientEnded) {
      const ssize_t n = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        toServer.pieces.push_back({now + delay, std::string(buffer, static_cast<size_t>(n))});
        turns.client();
      } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
        clientEnded = true;
      }
    }
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR) && !serverEnded && !stalled) {
      const ssize_t n = ::recv(server, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        turns.server();
        Mode after = Mode::Pass;
        const qint64 allowed = state->allow(n, after);
        if (allowed > 0) toClient.pieces.push_back({now + delay, std::string(buffer, static_cast<size_t>(allowed))});
        if (after == Mode::Cut) serverEnded = true;  // the cut falls once the allowed bytes are through
      } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
        serverEnded = true;
      }
    }
    if (!toClient.flush(client, now) || !toServer.flush(server, now)) break;
  }
  closeBoth(client, server);
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
    // Small pieces go on at once, as the client and server sent them.
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ++state->connections;
    std::lock_guard lock(state->mutex);
    if (state->delay.count() > 0) state->threads.emplace_back(delayedPump, state, client, server, state->delay);
    else state->threads.emplace_back(pump, state, client, server);
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
  state_->roundTrips = 0;
}

void Relay::stallAfter(qint64 bytes) {
  std::lock_guard lock(state_->mutex);
  state_->mode = Mode::Stall;
  state_->budget = bytes;
  state_->passed = 0;
  state_->roundTrips = 0;
}

void Relay::passAll() {
  std::lock_guard lock(state_->mutex);
  state_->mode = Mode::Pass;
  state_->passed = 0;
  state_->roundTrips = 0;
}

qint64 Relay::answerBytes() const {
  std::lock_guard lock(state_->mutex);
  return state_->passed;
}

void Relay::delayEachWay(std::chrono::milliseconds delay) {
  std::lock_guard lock(state_->mutex);
  state_->delay = delay;
}

qint64 Relay::roundTrips() const { return state_->roundTrips; }

void Relay::resetRoundTrips() { state_->roundTrips = 0; }

qint64 Relay::connections() const { return state_->connections; }

}  // namespace testsupport
