#include "platform/program_folder.h"
#include <system_error>

namespace platform {

std::filesystem::path executableFolder() {
    // The kernel's own link to the executable: symbolic links on the way are already resolved,
    // so a link to the program elsewhere still finds the files beside the program itself.
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute())
        return {};
    return exe.parent_path();
}

} // namespace platform
