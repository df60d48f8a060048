// The savegame commands: list, get, put, rm.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iomanip>

#include "kx/halyxclient/Commands.h"
#include "kx/halyxclient/ExitCodes.h"
#include "kx/halyxclient/ProgressBar.h"
#include "kx/halyxclient/ResultListeners.h"
#include "kx/toolcommon/OpenFile.h"

namespace kx {
namespace halyxclient {

namespace {

// Bytes per read or write request.
constexpr unsigned int kChunk = 1u << 20;

// Explains a refused open or removal (any result but kSavegameOk) and returns the exit code.
int ReportRefusal(GameLoop& loop, unsigned int result, const std::string& what,
                  const std::string& notFound) {
    switch (result) {
        case halyxdll::kSavegameNotFound:
            loop.Err() << "error: " << notFound << "\n";
            return kExitNotFound;
        case halyxdll::kSavegameLocked:
            loop.Err() << "error: " << what << ": the slot is locked by another client\n";
            return kExitLocked;
        default:
            loop.Err() << "error: " << what << ": the launcher reported a failure\n";
            return kExitFailed;
    }
}

// Lists the product's savegames into `*listener`; false when no answer came.
bool Fetch(GameLoop& loop, std::uint32_t productId, ListListener* listener) {
    KxHalyxdllGetSavegameList(loop.Session(), KxHalyxdllGetRequestUniqueId(loop.Session()),
                              listener, productId);
    return loop.PumpUntil([&] { return listener->done; });
}

const ListedSavegame* FindSlot(const ListListener& list, std::uint32_t slotId) {
    const auto found = std::find_if(list.savegames.begin(), list.savegames.end(),
                                    [&](const ListedSavegame& s) { return s.slotId == slotId; });
    return found == list.savegames.end() ? nullptr : &*found;
}

std::string SlotText(std::uint32_t productId, std::uint32_t slotId) {
    return "slot " + std::to_string(slotId) + " of product " + std::to_string(productId);
}

}  // namespace

int RunList(GameLoop& loop, std::uint32_t productId) {
    if (const int code = loop.Connect(productId)) {
        return code;
    }
    ListListener list;
    if (!Fetch(loop, productId, &list)) {
        return kExitFailed;
    }
    loop.Out() << list.savegames.size() << " savegame(s) of product " << productId << "\n";
    for (const ListedSavegame& savegame : list.savegames) {
        loop.Out() << "  slot " << std::setw(5) << savegame.slotId << "  " << std::setw(10)
                   << savegame.size << " bytes  " << savegame.name << "\n";
    }
    return kExitOk;
}

int RunGet(GameLoop& loop, std::uint32_t productId, std::uint32_t slotId, const std::string& file) {
    if (const int code = loop.Connect(productId)) {
        return code;
    }
    const std::string slot = SlotText(productId, slotId);
    // The list tells the size: a read reports only the size of its last part.
    ListListener list;
    if (!Fetch(loop, productId, &list)) {
        return kExitFailed;
    }
    const ListedSavegame* listed = FindSlot(list, slotId);
    if (listed == nullptr) {
        loop.Err() << "error: there is no savegame in " << slot << "\n";
        return kExitNotFound;
    }
    ReaderListener open;
    KxHalyxdllGetSavegameReader(loop.Session(), KxHalyxdllGetRequestUniqueId(loop.Session()), &open,
                                productId, slotId);
    if (!loop.PumpUntil([&] { return open.done; })) {
        return kExitFailed;
    }
    if (open.result != halyxdll::kSavegameOk) {
        return ReportRefusal(loop, open.result, "cannot read " + slot,
                             "there is no savegame in " + slot);
    }
    std::string data(listed->size, '\0');
    ProgressBar progress(loop.Err(), data.size());
    bool complete = true;
    for (unsigned int offset = 0; complete && offset < listed->size; offset += kChunk) {
        const unsigned int count = std::min(kChunk, listed->size - offset);
        ReadListener read;
        KxHalyxdllSaveGameReaderRead(open.reader, KxHalyxdllGetRequestUniqueId(loop.Session()),
                                     &read, offset, &data[offset], count);
        complete = loop.PumpUntil([&] { return read.done; });
        progress.Update(offset + count);
    }
    KxHalyxdllSaveGameReaderClose(open.reader);
    if (!complete) {
        return kExitFailed;
    }
    toolcommon::File out =
        toolcommon::OpenFile(std::filesystem::u8path(file), toolcommon::FileAccess::kWrite);
    if (!out || std::fwrite(data.data(), 1, data.size(), out.get()) != data.size() ||
        std::fclose(out.release()) != 0) {
        loop.Err() << "error: cannot write " << file << "\n";
        return kExitUsage;
    }
    loop.Out() << "read " << data.size() << " bytes of \"" << listed->name << "\" from " << slot
               << " into " << file << "\n";
    return kExitOk;
}

int RunPut(GameLoop& loop, std::uint32_t productId, std::uint32_t slotId, const std::string& file,
           const std::string& name, bool overwrite) {
    const toolcommon::File in =
        toolcommon::OpenFile(std::filesystem::u8path(file), toolcommon::FileAccess::kRead);
    const std::int64_t size = in ? toolcommon::FileSize(in.get()) : -1;
    if (size < 0) {
        loop.Err() << "error: cannot read " << file << "\n";
        return kExitUsage;
    }
    if (size > static_cast<std::int64_t>(0xFFFFFFFFu)) {
        loop.Err() << "error: " << file << " is larger than a savegame can be (4 GiB - 1)\n";
        return kExitUsage;
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(size));
    if (!toolcommon::SeekFile(in.get(), 0) || !toolcommon::ReadRest(in.get(), &data) ||
        data.size() != static_cast<std::size_t>(size)) {
        loop.Err() << "error: cannot read " << file << "\n";
        return kExitUsage;
    }
    const Utf16Text wideName = Utf8ToUtf16(name);
    if (wideName.size() - 1 > 255) {
        loop.Err() << "error: the name is longer than 255 UTF-16 units\n";
        return kExitUsage;
    }
    if (const int code = loop.Connect(productId)) {
        return code;
    }
    const std::string slot = SlotText(productId, slotId);
    WriterListener open;
    KxHalyxdllGetSavegameWriter(loop.Session(), KxHalyxdllGetRequestUniqueId(loop.Session()), &open,
                                productId, slotId, overwrite);
    if (!loop.PumpUntil([&] { return open.done; })) {
        return kExitFailed;
    }
    if (open.result != halyxdll::kSavegameOk) {
        return ReportRefusal(
            loop, open.result, "cannot write " + slot,
            slot + " holds a savegame already (leave out --no-overwrite to replace it)");
    }
    KxHalyxdllSaveGameWriterSetName(open.writer, wideName.data());
    ProgressBar progress(loop.Err(), data.size());
    bool complete = true;
    for (std::size_t offset = 0; complete && offset < data.size(); offset += kChunk) {
        const auto count =
            static_cast<unsigned int>(std::min<std::size_t>(kChunk, data.size() - offset));
        WriteListener write;
        KxHalyxdllSaveGameWriterWrite(open.writer, KxHalyxdllGetRequestUniqueId(loop.Session()),
                                      &write, &data[offset], count);
        complete = loop.PumpUntil([&] { return write.done; });
        if (complete && write.written != count) {
            loop.Err() << "error: the launcher stored " << write.written << " of " << count
                       << " bytes; nothing was kept\n";
            complete = false;
        }
        progress.Update(offset + count);
    }
    KxHalyxdllSaveGameWriterClose(open.writer, complete);
    if (!complete) {
        return kExitFailed;
    }
    // The library sends a list only after the launcher confirmed the close: the answer shows
    // the savegame as stored.
    ListListener list;
    if (!Fetch(loop, productId, &list)) {
        return kExitFailed;
    }
    const ListedSavegame* listed = FindSlot(list, slotId);
    if (listed == nullptr || listed->size != data.size()) {
        loop.Err() << "error: the launcher did not keep the savegame in " << slot << "\n";
        return kExitFailed;
    }
    loop.Out() << "stored " << data.size() << " bytes from " << file << " as \"" << listed->name
               << "\" in " << slot << "\n";
    return kExitOk;
}

int RunRemove(GameLoop& loop, std::uint32_t productId, std::uint32_t slotId) {
    if (const int code = loop.Connect(productId)) {
        return code;
    }
    const std::string slot = SlotText(productId, slotId);
    RemoveListener remove;
    KxHalyxdllRemoveSavegame(loop.Session(), KxHalyxdllGetRequestUniqueId(loop.Session()), &remove,
                             productId, slotId);
    if (!loop.PumpUntil([&] { return remove.done; })) {
        return kExitFailed;
    }
    if (remove.result != halyxdll::kSavegameOk) {
        return ReportRefusal(loop, remove.result, "cannot remove " + slot,
                             "there is no savegame in " + slot);
    }
    loop.Out() << "removed the savegame in " << slot << "\n";
    return kExitOk;
}

}  // namespace halyxclient
}  // namespace kx
