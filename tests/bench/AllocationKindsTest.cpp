#include "game/AllocationKinds.h"

#include <gtest/gtest.h>

namespace kx {
namespace bench {
namespace {

// Stacks as the symbolizer names them (innermost first), taken from real runs.
const std::vector<std::string> kFunctorStack = {
    "operator new(unsigned long)",
    "kx::common::Signal::TSubscriber<kx::clientbox::PBConnection>::Notify()",
    "kx::common::Signal::Emit()",
    "kx::clientbox::NamedPipeSocket::OnReadComplete(unsigned int, unsigned int)"};

const std::vector<std::string> kEventStack = {
    "operator new(unsigned long)",
    "operator new(unsigned long, std::nothrow_t const&)",
    "kx::common::Event::Event()",
    "kx::common::WeakPtr<kx::clientbox::PBConnection>::WeakPtr(kx::common::WeakPtr<kx::clientbox::"
    "PBConnection> const&)",
    "kx::common::FunctorMethod0WeakPtr<kx::clientbox::PBConnection>::FunctorMethod0WeakPtr(kx::"
    "common::WeakPtr<kx::clientbox::PBConnection> const&, void (kx::clientbox::PBConnection::*)())",
    "kx::common::Signal::TSubscriber<kx::clientbox::PBConnection>::Notify()"};

TEST(AllocationKindsTest, BareNamesDropTemplatesParametersReturnTypesAndQualifiers) {
    EXPECT_EQ("a::B::C", BareFunctionName("void a::B<int, c::D<e> >::C(char) const"));
    EXPECT_EQ("kx::common::Signal::TSubscriber::Notify", BareFunctionName(kFunctorStack[1]));
    EXPECT_EQ("kx::{anonymous}::Note", BareFunctionName("kx::(anonymous namespace)::Note()"));
    EXPECT_EQ("operator new", BareFunctionName("operator new(unsigned long)"));
    EXPECT_EQ("operator new", BareFunctionName("void* operator new(unsigned long)"));
    EXPECT_EQ("x::operator<", BareFunctionName("bool x::operator<(int)"));
    EXPECT_EQ("Note", BareFunctionName("Note"));
}

TEST(AllocationKindsTest, TheInnermostDecidingFrameWins) {
    // The functor is allocated by Notify itself; the event inside the functor's weak pointer
    // is allocated by the event, even though Notify is further out on its stack.
    EXPECT_EQ("functors", ClassifyAllocation(kFunctorStack).category);
    EXPECT_EQ("events", ClassifyAllocation(kEventStack).category);
    EXPECT_EQ("weak pointers",
              ClassifyAllocation({"malloc",
                                  "kx::common::HybridArray<kx::common::WeakPtrBase*, 0u, "
                                  "kx::common::StandardDataHelper<kx::common::"
                                  "WeakPtrBase*> >::Reserve(unsigned int)",
                                  "kx::common::ReferenceCounter::RegisterWeak(kx::common::"
                                  "WeakPtrBase*)",
                                  kEventStack[4]})
                  .category);
}

TEST(AllocationKindsTest, PoolsMessagesAndStrings) {
    EXPECT_EQ("buffers",
              ClassifyAllocation({"operator new(unsigned long)",
                                  "kx::common::Pooled<kx::clientbox::Buffer>::operator new("
                                  "unsigned long)",
                                  "kx::clientbox::NamedPipeSocket::StartRead()"})
                  .category);
    EXPECT_EQ("reference counters",
              ClassifyAllocation({"operator new(unsigned long)",
                                  "kx::common::Pooled<kx::common::TemplatedReferenceCounter<kx::"
                                  "clientbox::Buffer> >::operator new(unsigned long)"})
                  .category);
    EXPECT_EQ("adapters",
              ClassifyAllocation({"operator new(unsigned long)",
                                  "kx::common::Pooled<kx::halyxdll::CallbackAdapter>::operator "
                                  "new(unsigned long)"})
                  .category);
    EXPECT_EQ("messages",
              ClassifyAllocation({"operator new(unsigned long)",
                                  "google::protobuf::internal::ArenaStringPtr::Mutable[abi:cxx11]("
                                  "google::protobuf::Arena*)",
                                  "kx::halyxdll::HalyxSessionData::Write(unsigned int)"})
                  .category);
    EXPECT_EQ("strings",
              ClassifyAllocation({"realloc", "kx::common::HybridArray<char, 0u>::Reserve(unsigned)",
                                  "kx::common::String::GetUtf8() const",
                                  "kx::halyxdll::HalyxSessionData::OnLoginDetails(kx::protocol::"
                                  "halyxdll::Rsp const&)"})
                  .category);
}

TEST(AllocationKindsTest, OtherNamesTheFirstFunctionBeyondThePlumbing) {
    const AllocationKind kind = ClassifyAllocation(
        {"operator new(unsigned long)",
         "std::__cxx11::basic_string<char>::_M_mutate(unsigned long, unsigned long, char const*, "
         "unsigned long)",
         "kx::common::HybridArray<int, 0u>::Add(int const&)",
         "kx::halyxdll::HalyxSessionData::Write(unsigned int, void const*, unsigned int)",
         "kx::bench::GameSession::WriteRepeatedly(void const*, unsigned int, unsigned int)"});
    EXPECT_EQ("other", kind.category);
    EXPECT_EQ("kx::halyxdll::HalyxSessionData::Write", kind.site);
    EXPECT_EQ("?", ClassifyAllocation({"malloc", "?"}).site);

    AllocationTally tally;
    tally.Add(kind);
    tally.Add(kind);
    tally.Add(ClassifyAllocation(kFunctorStack));
    EXPECT_EQ(2u, tally.byCategory["other"]);
    EXPECT_EQ(1u, tally.byCategory["functors"]);
    EXPECT_EQ(2u, tally.otherSites["kx::halyxdll::HalyxSessionData::Write"]);
}

}  // namespace
}  // namespace bench
}  // namespace kx
