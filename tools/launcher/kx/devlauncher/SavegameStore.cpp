#include "kx/devlauncher/SavegameStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>

namespace kx {
namespace devlauncher {

namespace fs = std::filesystem;

namespace {

// Footer after data and name: the name's length (32 bits, little-endian) and this tag.
constexpr char kFooterTag[8] = {'H', 'X', 'S', 'A', 'V', 'E', '0', '1'};
constexpr std::size_t kFooterSize = 4 + sizeof(kFooterTag);
constexpr const char* kSlotSuffix = ".sav";
constexpr const char* kTempSuffix = ".tmp";

std::string Footer(std::uint32_t nameSize) {
    std::string footer;
    for (int shift = 0; shift < 32; shift += 8) {
        footer.push_back(static_cast<char>(nameSize >> shift));
    }
    footer.append(kFooterTag, sizeof(kFooterTag));
    return footer;
}

// Parses "<digits>.sav" with the canonical decimal spelling of a slot id.
bool ParseSlotFileName(const std::string& fileName, std::uint32_t* slotId) {
    const std::size_t suffix = std::strlen(kSlotSuffix);
    if (fileName.size() <= suffix ||
        fileName.compare(fileName.size() - suffix, suffix, kSlotSuffix) != 0) {
        return false;
    }
    const std::string digits = fileName.substr(0, fileName.size() - suffix);
    if (digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const unsigned long long value = std::stoull(digits);
    if (value > std::numeric_limits<std::uint32_t>::max() || std::to_string(value) != digits) {
        return false;
    }
    *slotId = static_cast<std::uint32_t>(value);
    return true;
}

// Opens a savegame file and reads its footer and name. Null when the file is missing, torn or
// not a savegame.
std::unique_ptr<StoredSavegame> OpenSavegameFile(const fs::path& path) {
    toolcommon::File file = toolcommon::OpenFile(path, toolcommon::FileAccess::kRead);
    if (!file) {
        return nullptr;
    }
    const std::int64_t fileSize = toolcommon::FileSize(file.get());
    if (fileSize < static_cast<std::int64_t>(kFooterSize)) {
        return nullptr;
    }
    char footer[kFooterSize];
    if (!toolcommon::SeekFile(file.get(), static_cast<std::uint64_t>(fileSize) - kFooterSize) ||
        std::fread(footer, 1, kFooterSize, file.get()) != kFooterSize ||
        std::memcmp(footer + 4, kFooterTag, sizeof(kFooterTag)) != 0) {
        return nullptr;
    }
    std::uint32_t nameSize = 0;
    for (int i = 3; i >= 0; --i) {
        nameSize = (nameSize << 8) | static_cast<unsigned char>(footer[i]);
    }
    const std::uint64_t rest = static_cast<std::uint64_t>(fileSize) - kFooterSize;
    if (nameSize > rest || rest - nameSize > kMaxSavegameSize) {
        return nullptr;
    }
    const auto dataSize = static_cast<std::uint32_t>(rest - nameSize);
    std::string name(nameSize, '\0');
    if (nameSize > 0 && (!toolcommon::SeekFile(file.get(), dataSize) ||
                         std::fread(&name[0], 1, nameSize, file.get()) != nameSize)) {
        return nullptr;
    }
    return std::make_unique<StoredSavegame>(std::move(file), dataSize, std::move(name));
}

// The owner's name as a tag fit for any file name: FNV-1a (64 bits) in hex, between dots.
std::string OwnerTag(const std::string& owner) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : owner) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string tag = ".";
    for (int shift = 60; shift >= 0; shift -= 4) {
        tag.push_back(kDigits[(hash >> shift) & 0xF]);
    }
    return tag + ".";
}

}  // namespace

StoredSavegame::StoredSavegame(toolcommon::File file, std::uint32_t size, std::string name)
    : file_(std::move(file)), size_(size), name_(std::move(name)) {}

bool StoredSavegame::ReadAt(std::uint32_t offset, std::size_t size, char* out) {
    if (size == 0) {
        return true;
    }
    return toolcommon::SeekFile(file_.get(), offset) &&
           std::fread(out, 1, size, file_.get()) == size;
}

PendingSavegame::PendingSavegame(SavegameStore& store, std::unique_ptr<DurableFile> file,
                                 fs::path tempPath, fs::path finalPath)
    : store_(store),
      file_(std::move(file)),
      tempPath_(std::move(tempPath)),
      finalPath_(std::move(finalPath)) {}

PendingSavegame::~PendingSavegame() {
    Discard();
}

std::uint32_t PendingSavegame::Append(const std::string& data) {
    if (!file_ || failed_ || size_ + data.size() > kMaxSavegameSize) {
        return 0;
    }
    if (!file_->Append(data.data(), data.size())) {
        failed_ = true;
        return 0;
    }
    size_ += data.size();
    return static_cast<std::uint32_t>(data.size());
}

bool PendingSavegame::Commit(const std::string& name) {
    if (!file_ || failed_ || name.size() > std::numeric_limits<std::uint32_t>::max()) {
        Discard();
        return false;
    }
    const std::string footer = Footer(static_cast<std::uint32_t>(name.size()));
    const bool written = file_->Append(name.data(), name.size()) &&
                         file_->Append(footer.data(), footer.size()) && file_->SyncAndClose();
    if (!written) {
        Discard();
        return false;
    }
    file_.reset();
    bool replaced;
    {
        std::lock_guard<std::mutex> lock(store_.files_);
        replaced = ReplaceFileDurably(tempPath_, finalPath_);
    }
    if (!replaced) {
        std::error_code ignored;
        fs::remove(tempPath_, ignored);
    }
    return replaced;
}

void PendingSavegame::Discard() {
    if (!file_) {
        return;
    }
    file_.reset();  // closes it, so Windows lets it go
    std::error_code ignored;
    fs::remove(tempPath_, ignored);
}

SavegameStore::SavegameStore(fs::path root, const std::string& owner)
    : root_(std::move(root)),
      ownerTag_(OwnerTag(owner)),
      tempToken_(std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() &
                                0xFFFFFFFFu)) {}

bool SavegameStore::Prepare(std::string* error) {
    std::error_code ec;
    fs::create_directories(root_, ec);
    if (ec || !fs::is_directory(root_, ec)) {
        *error = "cannot create the data directory " + root_.u8string() + ": " + ec.message();
        return false;
    }
    for (const fs::directory_entry& product : fs::directory_iterator(root_, ec)) {
        if (!product.is_directory(ec)) {
            continue;
        }
        for (const fs::directory_entry& file : fs::directory_iterator(product.path(), ec)) {
            if (file.path().extension() == kTempSuffix &&
                file.path().filename().u8string().find(ownerTag_) != std::string::npos) {
                fs::remove(file.path(), ec);
            }
        }
    }
    return true;
}

std::vector<SavegameEntry> SavegameStore::List(std::uint32_t productId) const {
    std::vector<SavegameEntry> entries;
    std::lock_guard<std::mutex> lock(files_);
    std::error_code ec;
    for (const fs::directory_entry& file :
         fs::directory_iterator(root_ / std::to_string(productId), ec)) {
        SavegameEntry entry;
        if (!ParseSlotFileName(file.path().filename().u8string(), &entry.slotId)) {
            continue;
        }
        const std::unique_ptr<StoredSavegame> savegame = OpenSavegameFile(file.path());
        if (!savegame) {
            continue;
        }
        entry.name = savegame->Name();
        entry.size = savegame->Size();
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const SavegameEntry& a, const SavegameEntry& b) { return a.slotId < b.slotId; });
    return entries;
}

std::unique_ptr<StoredSavegame> SavegameStore::Open(std::uint32_t productId,
                                                    std::uint32_t slotId) const {
    std::lock_guard<std::mutex> lock(files_);
    return OpenSavegameFile(SlotPath(productId, slotId));
}

std::unique_ptr<PendingSavegame> SavegameStore::BeginWrite(std::uint32_t productId,
                                                           std::uint32_t slotId) {
    const fs::path finalPath = SlotPath(productId, slotId);
    std::error_code ec;
    if (fs::create_directories(finalPath.parent_path(), ec)) {
        SyncDirectory(root_);  // else the product's first savegame may vanish with its folder
    }
    const fs::path tempPath =
        finalPath.parent_path() / (std::to_string(slotId) + ownerTag_ + tempToken_ + "-" +
                                   std::to_string(++tempCounter_) + kTempSuffix);
    std::unique_ptr<DurableFile> file = DurableFile::CreateNew(tempPath);
    if (!file) {
        return nullptr;
    }
    return std::make_unique<PendingSavegame>(*this, std::move(file), tempPath, finalPath);
}

SavegameStore::RemoveResult SavegameStore::Remove(std::uint32_t productId, std::uint32_t slotId) {
    const fs::path path = SlotPath(productId, slotId);
    std::lock_guard<std::mutex> lock(files_);
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        return ec ? RemoveResult::kFailed : RemoveResult::kNotFound;
    }
    if (!fs::remove(path, ec)) {
        return RemoveResult::kFailed;
    }
    SyncDirectory(path.parent_path());  // else a power cut may bring the savegame back
    return RemoveResult::kRemoved;
}

fs::path SavegameStore::SlotPath(std::uint32_t productId, std::uint32_t slotId) const {
    return root_ / std::to_string(productId) / (std::to_string(slotId) + kSlotSuffix);
}

}  // namespace devlauncher
}  // namespace kx
