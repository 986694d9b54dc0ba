// The one header through which our sources see the host effect API.
//
// The include path decides whose declarations arrive here: by default our own
// layer in src/sdk, or the vendor's headers when the build is configured with
// STIPPLEX_AE_SDK_DIR. Nothing else in the tree includes an SDK header.
#pragma once

#if defined(_WIN32) && !defined(_WINDOWS)
#define _WINDOWS 1
#endif

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectSuites.h"
#include "SPBasic.h"
