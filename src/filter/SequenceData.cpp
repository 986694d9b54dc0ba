// The four sequence-data commands: a live SequenceRecord per effect instance,
// and its 24-byte flat form for saved projects.
#include <cstring>
#include <vector>

#include "BaseFilter.h"
#include "params/SequenceRecord.h"

namespace filter {
namespace {

void WriteDefaultHeader(SequenceRecord &record)
{
    record.magic = seqdata::kMagic;
    record.flat = 0;
    record.size = seqdata::kFlatSize;
    record.version = seqdata::kVersion;
    std::memset(record.reserved, 0, sizeof record.reserved);
}

void PutU32(unsigned char *out, std::uint32_t v)
{
    out[0] = static_cast<unsigned char>(v);
    out[1] = static_cast<unsigned char>(v >> 8);
    out[2] = static_cast<unsigned char>(v >> 16);
    out[3] = static_cast<unsigned char>(v >> 24);
}

std::uint32_t GetU32(const unsigned char *in)
{
    return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
           static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

// The flat form stores version before size, the reverse of the live record.
void Flatten(const SequenceRecord &record, unsigned char (&flat)[seqdata::kFlatSize])
{
    PutU32(flat + 0, record.magic);
    PutU32(flat + 4, 1);
    PutU32(flat + 8, record.version);
    PutU32(flat + 12, record.size);
    std::memcpy(flat + 16, record.reserved, sizeof record.reserved);
}

// Reads a flat header into the live record; anything unrecognised gives the
// defaults. The spacing state is not part of the flat form.
void Unflatten(const std::vector<unsigned char> &bytes, SequenceRecord &record)
{
    WriteDefaultHeader(record);
    if (bytes.size() < seqdata::kFlatSize) {
        return;
    }
    SequenceRecord read = record;
    read.magic = GetU32(bytes.data() + 0);
    read.flat = GetU32(bytes.data() + 4);
    read.version = GetU32(bytes.data() + 8);
    read.size = GetU32(bytes.data() + 12);
    std::memcpy(read.reserved, bytes.data() + 16, sizeof read.reserved);
    if (read.magic == seqdata::kMagic && read.version == seqdata::kVersion) {
        read.flat = 0;
        record = read;
    }
}

}  // namespace

PF_Err BaseFilter::SequenceSetup(PF_InData *in_data, PF_OutData *out_data)
{
    PF_UtilCallbacks *utils = in_data->utils;
    PF_Handle handle = utils->host_new_handle(sizeof(SequenceRecord));
    if (!handle) {
        return PF_Err_OUT_OF_MEMORY;
    }
    auto *record = static_cast<SequenceRecord *>(utils->host_lock_handle(handle));
    if (!record) {
        utils->host_dispose_handle(handle);
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    std::memset(record, 0, sizeof *record);
    WriteDefaultHeader(*record);
    out_data->sequence_data = handle;
    utils->host_unlock_handle(handle);
    return PF_Err_NONE;
}

PF_Err BaseFilter::SequenceSetdown(PF_InData *in_data, PF_OutData *)
{
    if (in_data->sequence_data) {
        in_data->utils->host_dispose_handle(in_data->sequence_data);
    }
    return PF_Err_NONE;
}

PF_Err BaseFilter::SequenceFlatten(PF_InData *in_data, PF_OutData *out_data)
{
    PF_UtilCallbacks *utils = in_data->utils;
    PF_Handle old = in_data->sequence_data;
    if (!old) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    auto *record = static_cast<SequenceRecord *>(utils->host_lock_handle(old));
    if (!record) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    WriteDefaultHeader(*record);
    unsigned char flat[seqdata::kFlatSize];
    Flatten(*record, flat);

    PF_Handle handle = utils->host_new_handle(sizeof flat);
    if (!handle) {
        utils->host_unlock_handle(old);
        return PF_Err_OUT_OF_MEMORY;
    }
    void *bytes = utils->host_lock_handle(handle);
    if (!bytes) {
        utils->host_dispose_handle(handle);
        utils->host_unlock_handle(old);
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    std::memcpy(bytes, flat, sizeof flat);
    out_data->sequence_data = handle;
    utils->host_unlock_handle(handle);
    utils->host_unlock_handle(old);
    return PF_Err_NONE;
}

PF_Err BaseFilter::SequenceResetup(PF_InData *in_data, PF_OutData *out_data)
{
    PF_UtilCallbacks *utils = in_data->utils;
    PF_Handle old = in_data->sequence_data;
    const unsigned char *oldBytes = nullptr;
    if (old) {
        oldBytes = static_cast<const unsigned char *>(utils->host_lock_handle(old));
    }
    const A_u_longlong oldSize = oldBytes ? utils->host_get_handle_size(old) : 0;
    const bool flat =
        oldBytes && oldSize >= seqdata::kFlatSize && GetU32(oldBytes) == seqdata::kMagic;
    if (!flat) {
        if (oldBytes) {
            utils->host_unlock_handle(old);
        }
        return SequenceRebuild(in_data, out_data);
    }

    PF_Err err = SequenceSetup(in_data, out_data);
    if (err != PF_Err_NONE) {
        utils->host_unlock_handle(old);
        return err;
    }
    PF_Handle handle = out_data->sequence_data;
    auto *record = static_cast<SequenceRecord *>(utils->host_lock_handle(handle));
    if (!record) {
        utils->host_unlock_handle(old);
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    const std::vector<unsigned char> bytes(oldBytes, oldBytes + oldSize);
    Unflatten(bytes, *record);
    utils->host_unlock_handle(handle);
    utils->host_unlock_handle(old);
    return PF_Err_NONE;
}

}  // namespace filter
