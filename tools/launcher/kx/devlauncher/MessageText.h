#pragma once

#include <string>

#include "HalyxDll.pb.h"

namespace kx {
namespace devlauncher {

// One-line summaries for the verbose log: the request id, the filled slot's name and its
// fields. Data bytes are shown as a count and the password not at all.
std::string DescribeRequest(const protocol::halyxdll::Req& req);
std::string DescribeAnswer(const protocol::halyxdll::Rsp& rsp);

}  // namespace devlauncher
}  // namespace kx
