// Private to the host: filling, copying and zeroing blocks of pixels too
// large to stay in the caches. Ordinary stores fetch every line they write
// into the caches first and push out what the next step would read; these
// stores go straight to memory, so filling a large world costs one write of
// it, and copying one a read and a write.
#pragma once

#include <cstddef>

namespace host {
namespace detail {

// Whether an operation that writes `bytes` bytes in all should write past
// the caches: when they would not keep what it writes until it is read.
bool StreamWrites(std::size_t bytes);

// Sets the n bytes at p to `byte`, past the caches.
void StreamFill(unsigned char *p, int byte, std::size_t n);
// Copies n bytes (the blocks do not overlap), past the caches.
void StreamCopy(unsigned char *to, const unsigned char *from, std::size_t n);
// Orders the stores above before every later store of this thread: called
// once at the end of an operation, before the pixels are handed on (to
// another thread, say).
void StreamFence();

}  // namespace detail
}  // namespace host
