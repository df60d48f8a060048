#include "kx/devlauncher/AtomicWrite.h"

#include "kx/devlauncher/DurableFile.h"

namespace kx {
namespace devlauncher {

namespace fs = std::filesystem;

bool WriteFileAtomically(const fs::path& file, const std::string& content) {
    std::error_code ec;
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), ec);
    }
    const fs::path temp = file.string() + ".tmp";
    fs::remove(temp, ec);
    std::unique_ptr<DurableFile> out = DurableFile::CreateNew(temp);
    if (out && out->Append(content.data(), content.size()) && out->SyncAndClose() &&
        ReplaceFileDurably(temp, file)) {
        return true;
    }
    out.reset();
    fs::remove(temp, ec);
    return false;
}

}  // namespace devlauncher
}  // namespace kx
