// A game built for the MSVC ABI (clang for *-pc-windows-msvc, no C runtime, linked by lld-link
// against the MSVC import library velhalyxapi_r2.lib) that uses the C++ class interface only:
// every public member of HalyxSession, SavegameReader, SavegameWriter and SavegameInfo, through
// their MSVC-decorated exports. Run against the development launcher (product 7 with a server
// pipe, slot 3 free, an installation directory with English texts), it goes through every
// conversation, prints a transcript to standard output and exits with 0, or with the number of
// the step that failed.
//
// No Windows SDK either: the few kernel32 functions it needs are declared here.
#include "velhalyxapi_r2.h"

using kx::halyxdll::HalyxSession;
using kx::halyxdll::PipeHandle;
using kx::halyxdll::SavegameInfo;
using kx::halyxdll::SavegameReader;
using kx::halyxdll::SavegameWriter;
namespace hx = kx::halyxdll;

typedef decltype(sizeof 0) Size;
typedef unsigned long Dword;  // 32 bits in the MSVC ABI

extern "C" {
__declspec(dllimport) void __stdcall ExitProcess(unsigned int exitCode);
__declspec(dllimport) void* __stdcall GetStdHandle(Dword which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, Dword size,
                                              Dword* written, void* overlapped);
__declspec(dllimport) int __stdcall ReadFile(void* file, void* data, Dword size, Dword* read,
                                             void* overlapped);
__declspec(dllimport) int __stdcall GetOverlappedResult(void* file, void* overlapped,
                                                        Dword* transferred, int wait);
__declspec(dllimport) void* __stdcall CreateEventA(void* security, int manualReset,
                                                   int initialState, const char* name);
__declspec(dllimport) Dword __stdcall WaitForSingleObject(void* object, Dword milliseconds);
__declspec(dllimport) int __stdcall CancelIo(void* file);
__declspec(dllimport) int __stdcall CloseHandle(void* object);
__declspec(dllimport) Dword __stdcall GetLastError();
__declspec(dllimport) void __stdcall Sleep(Dword milliseconds);
__declspec(dllimport) Dword __stdcall GetTickCount();
__declspec(dllimport) void* __stdcall GetProcessHeap();
__declspec(dllimport) void* __stdcall HeapAlloc(void* heap, Dword flags, Size bytes);
__declspec(dllimport) int __stdcall HeapFree(void* heap, Dword flags, void* memory);
__declspec(dllimport) void* __stdcall GetModuleHandleA(const char* name);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);
}

// What a C runtime would otherwise provide.
void* operator new(Size bytes) {
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}
void operator delete(void* memory) noexcept {
    HeapFree(GetProcessHeap(), 0, memory);
}
void operator delete(void* memory, Size) noexcept {
    HeapFree(GetProcessHeap(), 0, memory);
}
extern "C" int _purecall() {
    ExitProcess(90);
    return 0;
}
// The compiler may call these for copies and clears; volatile keeps it from calling itself.
extern "C" void* memset(void* target, int value, Size bytes) {
    volatile unsigned char* out = static_cast<unsigned char*>(target);
    for (Size i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value);
    return target;
}
extern "C" void* memcpy(void* target, const void* source, Size bytes) {
    volatile unsigned char* out = static_cast<unsigned char*>(target);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    for (Size i = 0; i < bytes; ++i) out[i] = in[i];
    return target;
}

namespace {

constexpr unsigned int kProduct = 7;
constexpr unsigned int kSlot = 3;
constexpr unsigned int kSaveSize = 10000;
constexpr Dword kPatienceMs = 30000;

#if defined(_M_IX86)
const char kArch[] = "i686";
// ??0 is the constructor; QAE: public, __thiscall.
const char kConstructorName[] = "??0HalyxSession@halyxdll@kx@@QAE@XZ";
typedef void*(__thiscall* Constructor)(void* self);
#else
const char kArch[] = "x86_64";
const char kConstructorName[] = "??0HalyxSession@halyxdll@kx@@QEAA@XZ";
typedef void* (*Constructor)(void* self);
#endif

// ---- Output -----------------------------------------------------------------------------

void Print(const char* text) {
    Size length = 0;
    while (text[length] != 0) ++length;
    Dword written = 0;
    WriteFile(GetStdHandle(static_cast<Dword>(-11)), text, static_cast<Dword>(length), &written,
              nullptr);
}

void PrintNumber(unsigned int value) {
    char digits[12];
    int at = 11;
    digits[at] = 0;
    do {
        digits[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    Print(digits + at);
}

// UTF-16 as UTF-8, in quotes.
void PrintText(const unsigned short* text) {
    char out[1024];
    Size at = 0;
    out[at++] = '"';
    for (Size i = 0; text != nullptr && text[i] != 0 && at + 8 < sizeof(out); ++i) {
        unsigned int unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (unit < 0x80) {
            out[at++] = static_cast<char>(unit);
        } else if (unit < 0x800) {
            out[at++] = static_cast<char>(0xC0 | (unit >> 6));
            out[at++] = static_cast<char>(0x80 | (unit & 0x3F));
        } else if (unit < 0x10000) {
            out[at++] = static_cast<char>(0xE0 | (unit >> 12));
            out[at++] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out[at++] = static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out[at++] = static_cast<char>(0xF0 | (unit >> 18));
            out[at++] = static_cast<char>(0x80 | ((unit >> 12) & 0x3F));
            out[at++] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out[at++] = static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    out[at++] = '"';
    out[at] = 0;
    Print(out);
}

// Ends the game: the transcript says which step failed, the exit code is its number.
[[noreturn]] void Fail(unsigned int step, const char* what) {
    Print("FAILED (step ");
    PrintNumber(step);
    Print("): ");
    Print(what);
    Print("\n");
    ExitProcess(step);
    for (;;) {
    }
}

bool SameText(const unsigned short* a, const unsigned short* b) {
    Size i = 0;
    for (; a[i] != 0 && a[i] == b[i]; ++i) {
    }
    return a[i] == b[i];
}

void CopyText(unsigned short* target, Size capacity, const unsigned short* source) {
    Size i = 0;
    for (; source != nullptr && source[i] != 0 && i + 1 < capacity; ++i) target[i] = source[i];
    target[i] = 0;
}

// ---- Listeners --------------------------------------------------------------------------

// Each records the last call it received. Marked final: games commonly compile with warnings
// about polymorphic classes without virtual destructors.
class ServerListener final : public hx::IGetHalyxServerListener {
public:
    void OnGetHalyxServer(unsigned int requestId, PipeHandle handle) override {
        id = requestId;
        pipe = handle;
    }
    unsigned int id = 0;
    PipeHandle pipe = nullptr;
};

class LoginListener final : public hx::IGetLoginDetailsListener {
public:
    void OnGetLoginDetails(unsigned int requestId, const char* userName,
                           const unsigned short* password, const char* cdKey) override {
        id = requestId;
        Print("  user name \"");
        Print(userName);
        Print("\", password ");
        PrintText(password);
        Print(", CD key \"");
        Print(cdKey);
        Print("\"\n");
    }
    unsigned int id = 0;
};

class WriterListener final : public hx::IGetSavegameWriterListener {
public:
    void OnGetSavegameWriter(unsigned int requestId, unsigned int code,
                             SavegameWriter* opened) override {
        id = requestId;
        result = code;
        writer = opened;
    }
    unsigned int id = 0;
    unsigned int result = 0;
    SavegameWriter* writer = nullptr;
};

class ReaderListener final : public hx::IGetSavegameReaderListener {
public:
    void OnGetSavegameReader(unsigned int requestId, unsigned int code,
                             SavegameReader* opened) override {
        id = requestId;
        result = code;
        reader = opened;
    }
    unsigned int id = 0;
    unsigned int result = 0;
    SavegameReader* reader = nullptr;
};

class WriteListener final : public hx::ISavegameWriteListener {
public:
    void OnSavegameWrite(unsigned int, unsigned int byteCount) override {
        ++calls;
        bytes += byteCount;
    }
    unsigned int calls = 0;
    unsigned int bytes = 0;
};

class ReadListener final : public hx::ISavegameReadListener {
public:
    void OnSavegameRead(unsigned int requestId, unsigned int byteCount) override {
        id = requestId;
        lastPart = byteCount;
    }
    unsigned int id = 0;
    unsigned int lastPart = 0;
};

class ListListener final : public hx::IGetSavegameListListener {
public:
    // Everything is copied: the SavegameInfo objects are gone when this call returns.
    void OnGetSavegameList(unsigned int requestId, SavegameInfo* savegames,
                           unsigned int count) override {
        id = requestId;
        entries = count;
        for (unsigned int i = 0; i < count; ++i) {
            SavegameInfo& info = savegames[i];
            Print("  savegame ");
            PrintNumber(i + 1);
            Print(" of ");
            PrintNumber(count);
            Print(": GetName ");
            PrintText(info.GetName());
            Print(", GetProductId ");
            PrintNumber(info.GetProductId());
            Print(", GetSavegameId ");
            PrintNumber(info.GetSavegameId());
            Print(", GetSize ");
            PrintNumber(info.GetSize());
            Print("\n");
            if (i == 0) {
                CopyText(name, sizeof(name) / sizeof(name[0]), info.GetName());
                productId = info.GetProductId();
                savegameId = info.GetSavegameId();
                size = info.GetSize();
            }
        }
    }
    unsigned int id = 0;
    unsigned int entries = 0;
    unsigned short name[300] = {};
    unsigned int productId = 0;
    unsigned int savegameId = 0;
    unsigned int size = 0;
};

class RemoveListener final : public hx::IRemoveSavegameListener {
public:
    void OnRemoveSavegame(unsigned int requestId, unsigned int code) override {
        id = requestId;
        result = code;
    }
    unsigned int id = 0;
    unsigned int result = 0xFFFFFFFFu;
};

class TrafficListener final : public hx::IGetNetworkTrafficListener {};

// ---- The game -------------------------------------------------------------------------------

HalyxSession* session = nullptr;

// Calls Update until `done` holds; false after kPatienceMs.
template <typename Done>
bool Pump(Done done) {
    const Dword start = GetTickCount();
    for (;;) {
        session->Update();
        if (done()) return true;
        if (GetTickCount() - start > kPatienceMs) return false;
        Sleep(1);
    }
}

bool IsOpen(PipeHandle pipe) {
    return pipe != nullptr && pipe != reinterpret_cast<PipeHandle>(~static_cast<Size>(0));
}

// One overlapped operation on the server pipe (opened for overlapped I/O) to its end.
struct Overlapped {
    Size internal = 0;
    Size internalHigh = 0;
    Dword offset = 0;
    Dword offsetHigh = 0;
    void* event = nullptr;
};

template <typename Start>
Dword Transfer(PipeHandle pipe, Start start) {
    Overlapped overlapped;
    overlapped.event = CreateEventA(nullptr, 1, 0, nullptr);
    Dword transferred = 0;
    const Dword kIoPending = 997;
    if (start(&overlapped) || GetLastError() == kIoPending) {
        if (WaitForSingleObject(overlapped.event, kPatienceMs) != 0) CancelIo(pipe);
        if (!GetOverlappedResult(pipe, &overlapped, &transferred, 1)) transferred = 0;
    }
    CloseHandle(overlapped.event);
    return transferred;
}

unsigned char saveData[kSaveSize];
unsigned char readBack[kSaveSize];

int Run() {
    // The game's listeners live as long as the session (no C runtime: no global objects with
    // constructors or destructors).
    ServerListener server;
    LoginListener login;
    WriterListener writers;
    ReaderListener readers;
    WriteListener writes;
    ReadListener reads;
    ListListener lists;
    RemoveListener removes;
    TrafficListener traffic;

    Print("MSVC-ABI game (");
    Print(kArch);
    Print(", clang for the MSVC ABI, no C runtime), class interface of velhalyxapi_r2.dll\n");

    // 1. Construction with new: the MSVC-decorated constructor, which must return `this`.
    session = new HalyxSession;
    Print("new HalyxSession: constructed\n");
    void* module = GetModuleHandleA("velhalyxapi_r2.dll");
    Constructor constructor =
        reinterpret_cast<Constructor>(GetProcAddress(module, kConstructorName));
    if (constructor == nullptr) Fail(1, "the DLL does not export the constructor");
    static void* place[2];
    if (constructor(place) != place) Fail(1, "the constructor does not return this");
    Print("constructor ");
    Print(kConstructorName);
    Print(" called directly: returns this\n");
    // That facade shares the session state; it is never destroyed (destroying any facade
    // destroys the state), like the facades KxHalyxdllGetSession hands out.

    // 2. The first request ids.
    const unsigned int first = session->GetRequestUniqueId();
    const unsigned int second = session->GetRequestUniqueId();
    if (second != first + 1) Fail(2, "request ids do not count up");
    Print("GetRequestUniqueId: ");
    PrintNumber(first);
    Print(", then ");
    PrintNumber(second);
    Print("\n");

    // 3. GetHalyxServer connects to the launcher and hands over the product's server pipe.
    const Dword start = GetTickCount();
    while (!IsOpen(server.pipe)) {
        const unsigned int id = session->GetRequestUniqueId();
        session->GetHalyxServer(id, &server, kProduct, 0);
        if (!Pump([&] { return server.id == id; })) Fail(3, "no answer to GetHalyxServer");
        if (IsOpen(server.pipe)) break;
        if (GetTickCount() - start > kPatienceMs) Fail(3, "no launcher serves the pipe");
        Sleep(100);
    }
    Print("GetHalyxServer(product 7): server pipe opened\n");

    // 4. The server pipe is ours: the development launcher's echo service sends it all back.
    static const char kEcho[] = "hello from an MSVC-built game \xE2\x9C\x93";
    const Dword echoSize = sizeof(kEcho) - 1;
    const Dword sent = Transfer(server.pipe, [&](Overlapped* overlapped) {
        return WriteFile(server.pipe, kEcho, echoSize, nullptr, overlapped);
    });
    if (sent != echoSize) Fail(4, "writing to the server pipe failed");
    char echoed[64] = {};
    Dword received = 0;
    while (received < echoSize) {
        const Dword n = Transfer(server.pipe, [&](Overlapped* overlapped) {
            return ReadFile(server.pipe, echoed + received, echoSize - received, nullptr,
                            overlapped);
        });
        if (n == 0) Fail(4, "reading from the server pipe failed");
        received += n;
    }
    for (Dword i = 0; i < echoSize; ++i) {
        if (echoed[i] != kEcho[i]) Fail(4, "the server pipe echoed other bytes");
    }
    Print("server pipe: sent \"");
    Print(kEcho);
    Print("\", the echo service sent back \"");
    Print(echoed);
    Print("\"\n");
    CloseHandle(server.pipe);

    // 5. Login details.
    Print("GetLoginDetails:\n");
    const unsigned int loginId = session->GetRequestUniqueId();
    session->GetLoginDetails(loginId, &login);
    if (!Pump([&] { return login.id == loginId; })) Fail(5, "no login details");

    // 6. A savegame written: opened, named, written in three pieces, kept.
    for (unsigned int i = 0; i < kSaveSize; ++i) {
        saveData[i] = static_cast<unsigned char>(i * 31 + (i >> 8));
    }
    const unsigned int writerId = session->GetRequestUniqueId();
    session->GetSavegameWriter(writerId, &writers, kProduct, kSlot, true);
    if (!Pump([&] { return writers.id == writerId; })) Fail(6, "no answer to GetSavegameWriter");
    if (writers.result != 0 || writers.writer == nullptr) Fail(6, "the slot cannot be written");
    Print("GetSavegameWriter(product 7, slot 3): result 0, writer opened\n");
    // "MSVC Spielstand \u00fcber \u65c5" in UTF-16.
    static const unsigned short kName[] = {'M', 'S', 'V', 'C', ' ', 'S', 'p', 'i',    'e',
                                           'l', 's', 't', 'a', 'n', 'd', ' ', 0x00FC, 'b',
                                           'e', 'r', ' ', 0x65C5, 0};
    if (!writers.writer->SetName(kName)) Fail(6, "SetName refused the name");
    Print("SetName(");
    PrintText(kName);
    Print("): true\n");
    const unsigned int pieces[] = {4000, 4000, kSaveSize - 8000};
    unsigned int offset = 0;
    for (unsigned int piece : pieces) {
        writers.writer->Write(session->GetRequestUniqueId(), &writes, saveData + offset, piece);
        offset += piece;
    }
    if (!Pump([&] { return writes.calls == 3; })) Fail(6, "not every write was acknowledged");
    if (writes.bytes != kSaveSize) Fail(6, "the launcher did not write every byte");
    Print("Write: 3 pieces, ");
    PrintNumber(writes.bytes);
    Print(" bytes acknowledged\n");
    writers.writer->Close(true);
    Print("Close(true): kept\n");

    // 7. Listed, with every SavegameInfo getter.
    Print("GetSavegameList(product 7):\n");
    const unsigned int listId = session->GetRequestUniqueId();
    session->GetSavegameList(listId, &lists, kProduct);
    if (!Pump([&] { return lists.id == listId; })) Fail(7, "no answer to GetSavegameList");
    if (lists.entries != 1 || !SameText(lists.name, kName) || lists.productId != kProduct ||
        lists.savegameId != kSlot || lists.size != kSaveSize)
        Fail(7, "the list does not show the savegame as written");

    // 8. Read back whole with one Read.
    const unsigned int readerId = session->GetRequestUniqueId();
    session->GetSavegameReader(readerId, &readers, kProduct, kSlot);
    if (!Pump([&] { return readers.id == readerId; })) Fail(8, "no answer to GetSavegameReader");
    if (readers.result != 0 || readers.reader == nullptr) Fail(8, "the slot cannot be read");
    Print("GetSavegameReader(product 7, slot 3): result 0, reader opened\n");
    const unsigned int readId = session->GetRequestUniqueId();
    readers.reader->Read(readId, &reads, 0, readBack, kSaveSize);
    if (!Pump([&] { return reads.id == readId; })) Fail(8, "the read was not answered");
    for (unsigned int i = 0; i < kSaveSize; ++i) {
        if (readBack[i] != saveData[i]) Fail(8, "the savegame read back differs");
    }
    Print("Read(offset 0, ");
    PrintNumber(kSaveSize);
    Print(" bytes): the same bytes as written (last part ");
    PrintNumber(reads.lastPart);
    Print(" bytes)\n");
    readers.reader->Close();
    Print("Close: reader closed\n");

    // 9. Removed, and the list is empty again.
    const unsigned int removeId = session->GetRequestUniqueId();
    session->RemoveSavegame(removeId, &removes, kProduct, kSlot);
    if (!Pump([&] { return removes.id == removeId; })) Fail(9, "no answer to RemoveSavegame");
    if (removes.result != 0) Fail(9, "the savegame was not removed");
    Print("RemoveSavegame(product 7, slot 3): result 0\n");
    const unsigned int emptyId = session->GetRequestUniqueId();
    session->GetSavegameList(emptyId, &lists, kProduct);
    if (!Pump([&] { return lists.id == emptyId; })) Fail(9, "no answer to GetSavegameList");
    if (lists.entries != 0) Fail(9, "the list still shows a savegame");
    Print("GetSavegameList(product 7): no savegames\n");

    // 10. GetNetworkTraffic does nothing and never answers.
    session->GetNetworkTraffic(session->GetRequestUniqueId(), &traffic);
    Print("GetNetworkTraffic: accepted (it never answers)\n");

    // 11. A localized text of the launcher's installation.
    static const unsigned short kTitle[] = {'T', 'i', 't', 'l', 'e', 0};
    const unsigned short* title = session->GetLocText(kTitle, "en");
    if (title == nullptr || title[0] == 0) Fail(11, "GetLocText found no text for Title");
    Print("GetLocText(\"Title\", \"en\"): ");
    PrintText(title);
    Print("\n");

    // 12. Destruction with delete.
    delete session;
    session = nullptr;
    Print("delete HalyxSession: destroyed\n");
    Print("MSVC-ABI game: every conversation done\n");
    return 0;
}

}  // namespace

extern "C" void MsvcClassGameEntry() {
    ExitProcess(static_cast<unsigned int>(Run()));
}
