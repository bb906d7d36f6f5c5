#pragma once
// Samples that are not numbers or are infinite pass through the plug-in as they are; the user is
// told where they were.

#include "renderer.h"

#include <string>

namespace quorvane::cli {

// One warning line on standard error for every file that held or got such samples; answers the
// note the summary line ends with ("" when there were none).
std::string reportNonFinite(const RenderResult& result, const std::string& key,
                            const std::string& input, const RenderTargets& targets);

} // namespace quorvane::cli
