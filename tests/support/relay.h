// A loopback TCP relay in front of a server, for tests of a connection that breaks off or
// falls silent in the middle of the server's answer, and for benchmarks over a slow link:
// it can hold every byte back for a while in each direction and counts the round trips.
#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <memory>

namespace testsupport {

class Relay {
 public:
  // Listens on a free loopback port and passes every connection on to host:port.
  Relay(const QString& host, quint16 port);
  ~Relay();
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  quint16 port() const;

  // From now on, the connections pass this many more bytes of the server's answers (all
  // connections together), then the relay cuts them: both sides are closed at once.
  void cutAfter(qint64 bytes);
  // As cutAfter, but the connections then fall silent: they stay open and nothing more
  // passes in either direction.
  void stallAfter(qint64 bytes);
  // New connections pass everything again; one already cut or stalled stays broken.
  void passAll();

  // Bytes of server answers passed since the last cutAfter, stallAfter or passAll.
  qint64 answerBytes() const;
  // New connections hold every byte back this long in each direction, as a slow link does:
  // the bytes keep their order and pass as soon as their time is up, however many there are.
  void delayEachWay(std::chrono::milliseconds delay);

  // Round trips since the relay started or since the last resetRoundTrips, cutAfter,
  // stallAfter or passAll, over all connections: a burst of the client followed by the
  // server's answer counts one.
  qint64 roundTrips() const;
  void resetRoundTrips();

  // Connections the relay has accepted and passed on since it started.
  qint64 connections() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace testsupport
