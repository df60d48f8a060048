#pragma once

#include <cstddef>

namespace kx {
namespace devlauncher {

// A destination for bytes, such as the server end of a pipe.
class ByteWriter {
public:
    // Writes all `size` bytes. Returns false when the destination cannot take them.
    virtual bool Write(const char* data, std::size_t size) = 0;

protected:
    ~ByteWriter() = default;
};

}  // namespace devlauncher
}  // namespace kx
