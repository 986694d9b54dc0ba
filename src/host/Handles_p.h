// Private to the host: the handle table behind host_new_handle and the
// Handle Suite.
#pragma once

#include <cstddef>
#include <cstdint>

#include "AESdk.h"

namespace host {
namespace detail {

enum class HandleState { kLive, kDisposed, kUnknown };

// Host-side access, without booking anything to the running command.
PF_Handle NewHostHandle(std::size_t size);
void DisposeHostHandle(PF_Handle handle);
HandleState StateOf(PF_Handle handle);
bool IsLive(const void *handle);
void *HandleData(PF_Handle handle);  // the payload, or null if not live
A_HandleSize HandleSize(PF_Handle handle);
int HandleLocks(PF_Handle handle);
std::uint64_t HandleSerial(PF_Handle handle);  // 1, 2, ... in order of allocation

// The callbacks, as in_data->utils and the Handle Suite hand them out.
PF_Handle CbNewHandle(A_u_longlong size);
void *CbLockHandle(PF_Handle handle);
void CbUnlockHandle(PF_Handle handle);
void CbDisposeHandle(PF_Handle handle);
A_u_longlong CbGetHandleSize(PF_Handle handle);
PF_Err CbResizeHandle(A_u_longlong new_size, PF_Handle *handle);

}  // namespace detail
}  // namespace host
