#pragma once
// Records of asn1_messages.asn and the benchmark's message mix: ping with
// seq, create of a trunk slot, connect, success answer, DTMF signal,
// resource report. To bench generated messages instead, make mix() build
// them (and messageInfo() name the top-level record).

#include <memory>
#include <vector>

#include "asn1/asn1.h"

namespace BenchMsgs {

void const* messageInfo();
std::vector<std::unique_ptr<ASN1::AbstractData>> mix();

}  // namespace BenchMsgs
