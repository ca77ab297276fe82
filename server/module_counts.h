// Module-wide state that decides the server's lifetime.
//
// Plain 32-bit values, changed without locks or interlocked operations: every
// entry point runs on the thread the host calls it on.  The values are
// header-only (inline variables) so that the add-in object can lower the
// object count on its last Release without linking against the server.
#pragma once

#include "platform/types.h"

// The instance handle the loader passed at process attach; read by
// registration for the module's path.
inline HMODULE g_moduleHandle = nullptr;
// Live CMyAddin objects: +1 when CreateInstance succeeds, -1 when an add-in
// object is destroyed by its last Release.
inline LONG g_objectCount = 0;
// Net LockServer locks; an unlock without a lock leaves it negative.
inline LONG g_lockCount = 0;
