#pragma once
// How the program hands memory back to the system. glibc gives every thread
// that allocates a malloc arena of its own; what a thread frees stays in its
// arena, and a thread arena's free top is never returned, not even by
// malloc_trim. The program's threads are few but short-lived and greedy (a
// recording's capture and encoder threads each free tens of megabytes of
// frames), so each recording would leave the program larger, up to one such
// arena per thread that ever ran. With the workers sharing one arena besides
// the main thread's, what one recording frees is what the next one reuses,
// and a trim after it hands the rest back.

namespace vistrel::desktop::ProcessMemory {

// Call first thing in main, before any thread starts.
void limitArenas();

// Returns the free pages of every arena to the system: after work that freed
// much at once (a recording's encoder). Takes a few milliseconds.
//
// First it takes back every request for huge pages on this process's memory.
// x264 makes one (madvise MADV_HUGEPAGE) over the heap ranges of its largest
// buffers and never withdraws it; once it has freed them, the kernel's
// khugepaged would turn any 2 MB of those ranges holding one small
// allocation into a whole huge page again, seconds later: the freed memory
// resident once more, megabytes after every recording.
void releaseFree();

// releaseFree() once the program has gone five seconds without calling this
// again: after a capture, whose screen-sized images come and go through the
// main heap and leave it in pieces no later image fits. Not sooner, so that
// captures in quick succession reuse that memory instead of faulting in
// fresh pages (a capture's largest cost). Main thread.
void releaseFreeWhenQuiet();

}  // namespace vistrel::desktop::ProcessMemory
