#pragma once
// Leaves a line for a debugger (OutputDebugStringA) about an exception a catch-all swallowed:
// where, and what it said when it is a standard exception. Call only inside a catch block.
void TraceSwallowedException(const char* where);

// The same kind of line for a failure that is handled without an exception.
void TraceFailure(const char* what);
