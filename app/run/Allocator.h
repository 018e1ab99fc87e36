#pragma once

namespace quillmere {

// Sets the process's allocator for runs over large folders: the heap grows in large steps and
// freed memory is kept for the next run, instead of a system call for every few pages a table
// of paths takes. Called once, first thing in main.
void tuneAllocatorForRuns();

}  // namespace quillmere
