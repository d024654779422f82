#pragma once
// Global operator new that fails on request, for the tests that walk every
// allocation of a piece of code. Linked only into those tests: it replaces
// the allocator of the whole executable.

namespace vantomer::test {

// Allocations on this thread: the one numbered allocationsLeft() (from 0)
// throws std::bad_alloc, and with persistentFailure() every one after it
// too; -1 fails none. failures() counts what was failed. Functions rather
// than variables: a thread_local shared across files trips the sanitizers.
long& allocationsLeft();
bool& persistentFailure();
long& failures();

}  // namespace vantomer::test
