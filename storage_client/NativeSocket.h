#pragma once
// The operating system's socket API behind a few names, so that the socket layer reads the same
// on Winsock and on POSIX sockets.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
// No COM declarations: the global IStorage of <objidl.h> would clash with the storage
// interface in every file that includes this one.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace Kestrel::Networking::Native {

#ifdef _WIN32
using Handle = SOCKET;
constexpr Handle invalidHandle = INVALID_SOCKET;
using Length = int;
#else
using Handle = int;
constexpr Handle invalidHandle = -1;
using Length = socklen_t;
#endif

// Starts the socket library once per process (Winsock needs it; POSIX does nothing).
void startUp();
// Error code of the last failed socket call of this thread.
int lastError();
// True when a non-blocking connect answered that it goes on in the background.
bool isConnectInProgress(int error);
// The error code of a call that timed out.
int timedOutError();
// True when a call was interrupted by a signal and may be repeated.
bool isInterrupted(int error);
int closeHandle(Handle handle);
// Switches blocking mode; false on failure.
bool setBlocking(Handle handle, bool blocking);
// Waits until `handle` is writable or has failed, at most `milliseconds`; 1 ready, 0 timed
// out, -1 error.
int waitWritable(Handle handle, int milliseconds);

} // namespace Kestrel::Networking::Native
