#pragma once

#include <cstddef>

// The outcome of one read or write on a byte stream.
enum class IoStatus {
    Ok,         // count bytes were transferred
    Closed,     // the peer ended the stream in order (reads only)
    Failed,     // the connection broke or reported an error
    TimedOut,   // nothing moved within the time-out
    Cancelled,  // the program is ending (see io_cancel.h)
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    std::size_t count = 0;
};
