#pragma once
// The benchmark's control-link mix, built from generated `LGCP::Message`
// values: ping with seq; create of a trunk slot; connect; success answer
// with seq and slot; DTMF signal; resource report. asn1_bench.erl builds the
// same six messages for the Erlang/OTP yardstick.

#include <memory>
#include <vector>

#include "messages/lgcp/lgcp.h"

namespace BenchMsgs {

std::vector<std::unique_ptr<LGCP::Message>> mix();

}  // namespace BenchMsgs
