#pragma once

#include <cstddef>
#include <functional>

// Runs work(0) … work(count − 1), each exactly once, on as many threads as the machine has
// cores, the calling thread among them; returns when all are done. work must be safe to run
// on several threads at once for different indices.
void runInParallel(std::size_t count, const std::function<void(std::size_t)>& work);
