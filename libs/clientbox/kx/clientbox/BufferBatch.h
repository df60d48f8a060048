#pragma once

#include "kx/clientbox/Buffer.h"
#include "kx/common/Pooled.h"
#include "kx/common/TemplatedReferenceCounter.h"

namespace kx {
namespace clientbox {

// While alive, the buffers and buffer reference counters that the creating thread takes and
// gives back go through batches of their pools (common::Pooled::Batch): for a thread that
// builds, takes apart or releases a long chain while another thread does the same.
class BufferBatch final {
private:
    common::Pooled<Buffer>::Batch buffers_;
    common::Pooled<common::TemplatedReferenceCounter<Buffer>>::Batch counters_;
};

}  // namespace clientbox
}  // namespace kx
