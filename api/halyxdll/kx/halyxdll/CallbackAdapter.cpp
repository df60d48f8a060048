#include "kx/halyxdll/CallbackAdapter.h"

namespace kx {
namespace halyxdll {

// The C interface passes the library's texts and numbers through unchanged.
static_assert(sizeof(unsigned short) == sizeof(uint16_t), "UTF-16 units are 16 bits");
static_assert(sizeof(unsigned int) == sizeof(uint32_t), "ids and sizes are 32 bits");

common::AtomicInt32 CallbackAdapter::live_;

CallbackAdapter* CallbackAdapter::Take(const Callback& callback, void* context,
                                       unsigned int requestId, KxHalyxdllCDroppedCallback dropped) {
    return new CallbackAdapter(callback, context, requestId, dropped);
}

int CallbackAdapter::GetLiveCount() {
    return live_.Load();
}

CallbackAdapter::CallbackAdapter(const Callback& callback, void* context, unsigned int requestId,
                                 KxHalyxdllCDroppedCallback dropped)
    : callback_(callback), context_(context), requestId_(requestId), dropped_(dropped) {
    live_.Increment();
}

CallbackAdapter::~CallbackAdapter() {
    live_.Decrement();
}

// Each operation runs the callback, then returns the adapter: the session has already
// forgotten the request when it calls a listener.

void CallbackAdapter::OnGetLoginDetails(unsigned int requestId, const char* userName,
                                        const unsigned short* password, const char* cdKey) {
    callback_.loginDetails(context_, requestId, userName, password, cdKey);
    delete this;
}

void CallbackAdapter::OnGetHalyxServer(unsigned int requestId, PipeHandle pipe) {
    callback_.server(context_, requestId, pipe);
    delete this;
}

void CallbackAdapter::OnGetSavegameReader(unsigned int requestId, unsigned int result,
                                          SavegameReader* reader) {
    callback_.reader(context_, requestId, result,
                     reinterpret_cast<KxHalyxdllCSavegameReader*>(reader));
    delete this;
}

void CallbackAdapter::OnGetSavegameWriter(unsigned int requestId, unsigned int result,
                                          SavegameWriter* writer) {
    callback_.writer(context_, requestId, result,
                     reinterpret_cast<KxHalyxdllCSavegameWriter*>(writer));
    delete this;
}

void CallbackAdapter::OnGetSavegameList(unsigned int requestId, SavegameInfo* savegames,
                                        unsigned int count) {
    callback_.list(context_, requestId, reinterpret_cast<KxHalyxdllCSavegameList*>(savegames),
                   count);
    delete this;
}

void CallbackAdapter::OnRemoveSavegame(unsigned int requestId, unsigned int result) {
    callback_.remove(context_, requestId, result);
    delete this;
}

void CallbackAdapter::OnSavegameRead(unsigned int requestId, unsigned int byteCount) {
    callback_.read(context_, requestId, byteCount);
    delete this;
}

void CallbackAdapter::OnSavegameWrite(unsigned int requestId, unsigned int byteCount) {
    callback_.write(context_, requestId, byteCount);
    delete this;
}

void CallbackAdapter::OnListenerDropped() {
    if (dropped_ != nullptr) dropped_(context_, requestId_);
    delete this;
}

}  // namespace halyxdll
}  // namespace kx
