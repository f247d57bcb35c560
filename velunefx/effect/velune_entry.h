// The entry behind the exported "main", callable by name inside the module.
#pragma once

#include "hostapi/AE_Effect.h"

PF_Err velune_main(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output, void* extra);
