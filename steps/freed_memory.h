#pragma once

// Gives back to the system the pages of memory that are free again, in every
// thread's heap. A table read holds each row's cells in memory of their own
// for a moment; the allocator keeps what they took for later use, and memory
// freed by the thread that waits with the office is of no use to the thread
// that renames. Cannot fail; it only costs the time to look through the heaps.
void returnFreedMemory();
