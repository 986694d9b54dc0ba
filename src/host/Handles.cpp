// Memory handles: a PF_Handle points at a record whose first member is the
// master pointer to the payload, as the API expects (*handle is the data).
// Records carry a magic number, the size and a lock count; disposed records
// are kept for a while, so that a late use of a disposed handle is reported
// as such rather than as a stray pointer.
#include "host/Handles_p.h"

#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

#include "host/Core_p.h"

namespace host {
namespace detail {
namespace {

constexpr std::uint64_t kLiveMagic = 0x48414E444C45aaull;
constexpr std::uint64_t kDeadMagic = 0x444541444841ddull;
constexpr std::size_t kGraveyardSize = 4096;

struct HandleRecord {
    void *master;  // must stay first: the handle is the address of this member
    std::uint64_t magic;
    std::uint64_t serial;
    A_HandleSize size;
    int locks;
};

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<PF_Handle, HandleRecord *> live;
    std::unordered_map<PF_Handle, HandleRecord *> dead;
    std::deque<HandleRecord *> graveyard;  // oldest first
    std::uint64_t next_serial = 1;
};

HandleTable &Table()
{
    static HandleTable *table = new HandleTable;  // outlives every static user
    return *table;
}

PF_Handle HandleOf(HandleRecord *record)
{
    return &record->master;
}

unsigned char *NewPayload(A_HandleSize size)
{
    // operator new[] aligns to 16 bytes, which is what effects expect.
    auto *p = new unsigned char[size ? static_cast<std::size_t>(size) : 1];
    std::memset(p, 0, size ? static_cast<std::size_t>(size) : 1);
    return p;
}

PF_Handle Create(A_HandleSize size, std::uint64_t *serial)
{
    auto *record = new HandleRecord{NewPayload(size), kLiveMagic, 0, size, 0};
    HandleTable &t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    record->serial = t.next_serial++;
    *serial = record->serial;
    t.live.emplace(HandleOf(record), record);
    return HandleOf(record);
}

// The live record, or null; `state` tells why not.
HandleRecord *Find(PF_Handle handle, HandleState *state, std::uint64_t *serial)
{
    HandleTable &t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.live.find(handle);
    if (it != t.live.end()) {
        *state = HandleState::kLive;
        *serial = it->second->serial;
        return it->second;
    }
    auto d = t.dead.find(handle);
    if (d != t.dead.end()) {
        *state = HandleState::kDisposed;
        *serial = d->second->serial;
    } else {
        *state = HandleState::kUnknown;
        *serial = 0;
    }
    return nullptr;
}

void Bury(PF_Handle handle)
{
    HandleTable &t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.live.find(handle);
    if (it == t.live.end()) return;
    HandleRecord *record = it->second;
    t.live.erase(it);
    delete[] static_cast<unsigned char *>(record->master);
    record->master = nullptr;
    record->magic = kDeadMagic;
    t.dead.emplace(handle, record);
    t.graveyard.push_back(record);
    if (t.graveyard.size() > kGraveyardSize) {
        HandleRecord *oldest = t.graveyard.front();
        t.graveyard.pop_front();
        t.dead.erase(HandleOf(oldest));
        delete oldest;
    }
}

std::string Describe(HandleState state, std::uint64_t serial)
{
    if (state == HandleState::kDisposed) return "a disposed handle #" + std::to_string(serial);
    return "an unknown handle";
}

// A fault about a handle that is not live, booked to the running command.
void NotLive(const char *service, PF_Handle handle, HandleState state, std::uint64_t serial)
{
    CommandContext *ctx = CurrentContext();
    if (!ctx) return;
    if (!handle) {
        ctx->fault(std::string(service) + " of a null handle");
        return;
    }
    ctx->fault(std::string(service) + " of " + Describe(state, serial));
}

}  // namespace

PF_Handle NewHostHandle(std::size_t size)
{
    std::uint64_t serial = 0;
    return Create(size, &serial);
}

void DisposeHostHandle(PF_Handle handle)
{
    Bury(handle);
}

HandleState StateOf(PF_Handle handle)
{
    HandleState state;
    std::uint64_t serial;
    Find(handle, &state, &serial);
    return state;
}

bool IsLive(const void *handle)
{
    return handle &&
           StateOf(static_cast<PF_Handle>(const_cast<void *>(handle))) == HandleState::kLive;
}

void *HandleData(PF_Handle handle)
{
    HandleState state;
    std::uint64_t serial;
    HandleRecord *r = Find(handle, &state, &serial);
    return r ? r->master : nullptr;
}

A_HandleSize HandleSize(PF_Handle handle)
{
    HandleState state;
    std::uint64_t serial;
    HandleRecord *r = Find(handle, &state, &serial);
    return r ? r->size : 0;
}

int HandleLocks(PF_Handle handle)
{
    HandleState state;
    std::uint64_t serial;
    HandleRecord *r = Find(handle, &state, &serial);
    return r ? r->locks : 0;
}

std::uint64_t HandleSerial(PF_Handle handle)
{
    HandleState state;
    std::uint64_t serial;
    Find(handle, &state, &serial);
    return serial;
}

PF_Handle CbNewHandle(A_u_longlong size)
{
    std::uint64_t serial = 0;
    PF_Handle h = Create(size, &serial);
    if (CommandContext *ctx = CurrentContext()) {
        std::lock_guard<std::mutex> lock(ctx->mutex);
        auto &use = ctx->handles[h];
        use.serial = serial;
        use.allocated = true;
    }
    return h;
}

void *CbLockHandle(PF_Handle handle)
{
    HandleState state;
    std::uint64_t serial;
    HandleRecord *r = Find(handle, &state, &serial);
    if (!r) {
        NotLive("host_lock_handle", handle, state, serial);
        return nullptr;
    }
    void *data;
    {
        std::lock_guard<std::mutex> lock(Table().mutex);
        ++r->locks;
        data = r->master;
    }
    if (CommandContext *ctx = CurrentContext()) {
        std::lock_guard<std::mutex> lock(ctx->mutex);
        auto &use = ctx->handles[handle];
        use.serial = serial;
        ++use.locks;
    }
    return data;
}

void CbUnlockHandle(PF_Handle handle)
{
    HandleState state;
    std::uint64_t serial;
    HandleRecord *r = Find(handle, &state, &serial);
    if (!r) {
        NotLive("host_unlock_handle", handle, state, serial);
        return;
    }
    bool was_locked;
    {
        std::lock_guard<std::mutex> lock(Table().mutex);
        was_locked = r->locks > 0;
        if (was_locked) --r->locks;
    }
    CommandContext *ctx = CurrentContext();
    if (!ctx) return;
    if (!was_locked) {
        ctx->fault("host_unlock_handle of handle #" + std::to_string(serial) +
                   ", which is not locked");
        return;
    }
    std::lock_guard<std::mutex> lock(ctx->mutex);
    auto &use = ctx->handles[handle];
    use.serial = serial;
    ++use.unlocks;
}

void CbDisposeHandle(PF_Handle handle)
{
    if (!handle) return;  // like free(NULL)
    HandleState state;
    std::uint64_t serial;
    HandleRecord *r = Find(handle, &state, &serial);
    if (!r) {
        NotLive("host_dispose_handle", handle, state, serial);
        return;
    }
    int locks;
    {
        std::lock_guard<std::mutex> lock(Table().mutex);
        locks = r->locks;
    }
    if (locks > 0) {
        if (CommandContext *ctx = CurrentContext()) {
            ctx->fault("host_dispose_handle of handle #" + std::to_string(serial) +
                       " while it is locked");
        }
    }
    Bury(handle);
}

A_u_longlong CbGetHandleSize(PF_Handle handle)
{
    HandleState state;
    std::uint64_t serial;
    HandleRecord *r = Find(handle, &state, &serial);
    if (!r) {
        NotLive("host_get_handle_size", handle, state, serial);
        return 0;
    }
    return r->size;
}

PF_Err CbResizeHandle(A_u_longlong new_size, PF_Handle *handle)
{
    if (!handle) {
        if (CommandContext *ctx = CurrentContext())
            ctx->fault("host_resize_handle without a handle");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    HandleState state;
    std::uint64_t serial;
    HandleRecord *r = Find(*handle, &state, &serial);
    if (!r) {
        NotLive("host_resize_handle", *handle, state, serial);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    std::lock_guard<std::mutex> lock(Table().mutex);
    if (r->locks > 0) {
        // The payload may move; a locked handle promises that it does not.
        if (CommandContext *ctx = CurrentContext()) {
            ctx->fault("host_resize_handle of handle #" + std::to_string(serial) +
                       " while it is locked");
        }
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    unsigned char *fresh = NewPayload(new_size);
    std::memcpy(fresh, r->master,
                static_cast<std::size_t>(new_size < r->size ? new_size : r->size));
    delete[] static_cast<unsigned char *>(r->master);
    r->master = fresh;
    r->size = new_size;
    return PF_Err_NONE;
}

}  // namespace detail
}  // namespace host
