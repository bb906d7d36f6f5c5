#include "gui/platform/win32/win32module.h"

namespace quorvane::win32 {

namespace {
HINSTANCE gInstance = nullptr;
} // namespace

void setModuleInstance(HINSTANCE instance) {
    gInstance = instance;
}

HINSTANCE moduleInstance() {
    return gInstance;
}

} // namespace quorvane::win32
