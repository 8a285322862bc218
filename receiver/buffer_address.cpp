// The reassembly buffer's number for scripts: published in the host's address table while
// the buffer exists, withdrawn when it is replaced or freed. Host's thread only.
#include "receiver/buffer_address.h"

#include "receiver/receiver_state.h"

namespace tide {

uint32_t SyncBufferAddress(ObjectView& object) {
    ReceiverState& receiver = Receiver(object);
    const Reassembly& reassembly = receiver.reassembly;
    if (receiver.bufferHandle != 0 && receiver.publishedGeneration == reassembly.bufferGeneration())
        return receiver.bufferHandle;
    WithdrawBufferAddress(object);
    if (reassembly.buffer()) {
        receiver.bufferHandle =
            object.PublishAddress(reassembly.buffer(), static_cast<uint32_t>(reassembly.bufferSize()));
        receiver.publishedGeneration = reassembly.bufferGeneration();
    }
    return receiver.bufferHandle;
}

void WithdrawBufferAddress(ObjectView& object) {
    ReceiverState& receiver = Receiver(object);
    if (receiver.bufferHandle != 0) object.WithdrawAddress(receiver.bufferHandle);
    receiver.bufferHandle = 0;
}

}  // namespace tide
