#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace clientbox_test {

// A pipe name no other test (or test process) uses.
std::string UniquePipeName();

// The server's end of one connection: blocking reads and writes that may run on two threads
// at once (one reading, one writing).
class TestPipeEnd {
public:
    explicit TestPipeEnd(intptr_t handle) : handle_(handle) {}
    ~TestPipeEnd() { Close(); }
    TestPipeEnd(const TestPipeEnd&) = delete;
    TestPipeEnd& operator=(const TestPipeEnd&) = delete;

    // Writes all `count` bytes; false when the pipe failed.
    bool WriteAll(const void* data, std::size_t count);
    // Reads exactly `count` bytes; false at end of stream or on failure.
    bool ReadExact(void* data, std::size_t count);
    // Reads whatever arrives until end of stream; returns the byte count.
    std::size_t ReadToEnd();
    // Closes this end (once).
    void Close();
    // The platform handle (a descriptor on POSIX), for platform-specific tests.
    intptr_t GetHandle() const { return handle_; }

private:
    intptr_t handle_;
};

// Serves a pipe name the library's OpenNamedPipe finds (a Unix-domain socket on POSIX, a named
// pipe with waiting instances on Windows).
class TestPipeServer {
public:
    explicit TestPipeServer(const std::string& name);
    ~TestPipeServer();
    TestPipeServer(const TestPipeServer&) = delete;
    TestPipeServer& operator=(const TestPipeServer&) = delete;

    // Waits for the next client to connect and returns the server's end of that connection.
    std::unique_ptr<TestPipeEnd> Accept();

    const std::string& GetName() const { return name_; }

private:
    std::string name_;
    intptr_t listener_;
};

}  // namespace clientbox_test
