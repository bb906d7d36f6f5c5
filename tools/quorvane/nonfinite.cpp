#include "nonfinite.h"

#include <cstdio>

namespace quorvane::cli {
namespace {

std::string samples(int64_t count) {
    return std::to_string(count) + (count == 1 ? " sample" : " samples");
}

} // namespace

std::string reportNonFinite(const RenderResult& result, const std::string& key,
                            const std::string& input, const RenderTargets& targets) {
    struct Count {
        const std::string& file;
        int64_t count;
        const char* what;
    };
    const Count counts[] = {
        {key, result.keyNonFinite, "read"},
        {input, result.inputNonFinite, "read"},
        {targets.output, result.outputNonFinite, "written"},
        {targets.mix, result.mixNonFinite, "written"},
    };
    std::string note;
    for (const Count& c : counts) {
        if (c.count == 0) continue;
        std::fprintf(stderr, "quorvane: warning: %s: %s %s are not finite (NaN or infinity)\n",
                     c.file.c_str(), samples(c.count).c_str(), c.what);
        note += (note.empty() ? "; not finite: " : ", ") + samples(c.count) + " " + c.what +
                " in " + c.file;
    }
    return note;
}

} // namespace quorvane::cli
