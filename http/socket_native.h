#pragma once

// The platform's part of the socket code, for the BSD-style calls socket.cpp makes on both
// platforms: socket_posix.cpp reads errno, socket_win.cpp asks Winsock.

class TcpSocket;

// Starts the platform's socket library once per process where it has one.
void StartSocketsOnce();

bool SetNonBlocking(const TcpSocket& socket);

// What the last failed socket call on this thread reported.
bool LastCallWouldBlock();
bool LastCallInterrupted();
// A non-blocking connect that has begun and goes on in the background.
bool ConnectInProgress();

// The flags of every send: a reset connection must fail the call, not raise a signal.
int SendFlags();
