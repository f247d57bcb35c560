// The about box, built with the Adobe Dialog Manager suites the host lends.
#pragma once

#include <string>

#include "hostapi/AE_Effect.h"

namespace velune {

// Acquires the seven ADM suites, runs the modal "About Velune5.6" and gives the suites back.
// A suite the host cannot give is reported in return_msg with PF_Err_BAD_CALLBACK_PARAM.
PF_Err show_about(PF_InData* in, PF_OutData* out, const std::string& plugin_folder);

}  // namespace velune
