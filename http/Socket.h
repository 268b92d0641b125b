#pragma once

#include <cstdint>
#include <string>

// TCP over IPv4. A socket is a file descriptor; kInvalidSocket means none.
using SOCKET = int;
constexpr SOCKET kInvalidSocket = -1;

// The error numbers callers and log lines show for these two failures; the
// platform's programs and their logs have always used these values.
constexpr int kErrorWouldBlock = 10035;  // EAGAIN / EWOULDBLOCK
constexpr int kErrorTimedOut = 10060;    // ETIMEDOUT

constexpr int kListenBacklog = 1000;

// The IPv4 address (network byte order) to connect to for host: a dotted
// address above 1.0.0.0 as it stands, anything else resolved by name (the
// first address). false when the name does not resolve.
bool ResolveIpv4(const std::string& host, uint32_t& address);

// A new non-blocking stream socket, or kInvalidSocket.
SOCKET CreateTcpSocket();

// 0 once connected within timeoutMs (negative counts as 0), else -1. The
// socket stays open either way; the caller closes it.
int ConnectTcp(SOCKET socket, const std::string& host, int port, int timeoutMs);

// The connect of ConnectTcp to an address already resolved (network byte
// order), telling a refusal from a connection still pending when the time
// ran out.
enum class ConnectOutcome { kConnected, kFailed, kTimedOut };
ConnectOutcome ConnectTcpAddress(SOCKET socket, uint32_t address, int port, int timeoutMs);

// Address reuse on, bound to ip (empty = every local address) and port,
// listening with kListenBacklog. 0 or -1 (a failed reuse option also closes
// the socket).
int ListenTcp(SOCKET socket, const std::string& ip, int port);

// Blocks until a connection arrives; returns it with the peer's dotted address
// and port, or kInvalidSocket. Network errors that belong to a single pending
// connection are skipped, as is an interrupted wait.
SOCKET AcceptTcp(SOCKET listening, std::string& ip, int& port);

void CloseSocket(SOCKET socket);
// Ends both directions; a thread blocked in accept or receive on it wakes.
void ShutdownSocket(SOCKET socket);

// Waits for the events (POLLIN, POLLOUT) on the socket for at most timeoutMs
// (negative: no limit), resuming after signals. 1 ready, 0 timed out, -1 error.
int WaitForSocket(SOCKET socket, short events, int timeoutMs);

// Milliseconds of a steady clock, for time-outs.
long long SteadyNowMs();
bool SetSocketBlocking(SOCKET socket, bool blocking);

// The last socket error in the codes above where one exists, else errno.
int LastSocketError();
