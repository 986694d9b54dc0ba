// Basic scalar types of the host effect API (declaration layer).
// Names, types and layout follow the vendor header of the same name so that
// the sources also build against the vendor SDK.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef char A_char;
typedef short A_short;
typedef unsigned short A_u_short;
typedef unsigned char A_u_char;
typedef unsigned char A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_long A_Err;
typedef void *A_Handle;
typedef A_long A_Fixed;
typedef A_u_long A_UFixed;
typedef intptr_t A_intptr_t;
typedef uint64_t A_u_longlong;
typedef uint16_t A_UTF16Char;

#pragma pack(push, 8)
#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    A_long value;
    A_u_long scale;
} A_Time;

typedef struct {
    A_long left, top, right, bottom;
} A_LRect;

typedef A_LRect A_Rect;

typedef A_u_longlong A_HandleSize;

enum {
    A_Err_NONE = 0,
    A_Err_GENERIC = 1,
    A_Err_STRUCT = 2,
    A_Err_PARAMETER = 3,
    A_Err_ALLOC = 4,
    A_Err_WRONG_THREAD = 5,
    A_Err_CONST_PROJECT_MODIFICATION = 6,
    A_Err_MISSING_SUITE = 13
};

#ifdef __cplusplus
}
#endif
#pragma pack(pop)
