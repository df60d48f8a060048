#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace halyxdll_test {

// One client connection as the serving side sees it. Never blocks except in WriteAll.
// Used by one thread at a time.
class PipeServerEnd {
public:
    explicit PipeServerEnd(intptr_t handle) : handle_(handle) {}
    ~PipeServerEnd() { Close(); }
    PipeServerEnd(const PipeServerEnd&) = delete;
    PipeServerEnd& operator=(const PipeServerEnd&) = delete;

    // Reads what has arrived, up to `size` bytes: the count read, 0 when nothing is there yet,
    // -1 once the client has closed its end and everything it sent has been read.
    int ReadAvailable(char* buffer, int size);
    // Writes all `size` bytes in order; false when the client is gone.
    bool WriteAll(const char* data, std::size_t size);
    // Closes this end; bytes already written stay readable for the client.
    void Close();

private:
    intptr_t handle_;
};

// A pipe served under `name` in the platform's pipe namespace (a named pipe on Windows, a
// Unix-domain socket in $XDG_RUNTIME_DIR on POSIX), accepting any number of clients. The first
// server isolates the process's pipe namespace (IsolatePipeNamespace).
class PipeServer {
public:
    explicit PipeServer(const std::string& name);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // The next connected client, or null when none has connected since the last call.
    std::unique_ptr<PipeServerEnd> TryAccept();

private:
    struct State;  // the platform's listening records
    std::unique_ptr<State> state_;
};

// The game's side of a pipe that the library handed over (see IGetHalyxServerListener).
bool WriteToGamePipe(void* pipe, const char* data, std::size_t size);
void CloseGamePipe(void* pipe);

// Gives this process a pipe namespace of its own where the platform allows it (POSIX: a fresh
// $XDG_RUNTIME_DIR, removed again by RemovePipeNamespace), so that no launcher outside the test
// answers and concurrent test programs do not meet. Later calls do nothing. A test that lets
// the library connect without any server calls it first.
void IsolatePipeNamespace();
void RemovePipeNamespace();

}  // namespace halyxdll_test
