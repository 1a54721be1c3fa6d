#pragma once
// The requests of /dev/mctl, the control device of the DSP modems. Used by
// the modem factory and slots, the simulated board's modem model and the
// tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// These numbers carry no direction or size bits: the records are as below.
// Value: the previous modem index (-1 first); the result is the next one.
inline constexpr uint32_t MDM_ENUM = 0xBB0C;
// Value 0: the result is a free modem, now the open's.
inline constexpr uint32_t MDM_ALLOCATE = 0xBB0B;
// Value 0: the result is the open's modem's switch channel.
inline constexpr uint32_t MDM_GET_TIMESLOT = 0xBB15;
// {modem, data-mode mask}.
inline constexpr uint32_t MDM_SET_DDM = 0xBB16;
// {modem, 0xFFFFFFFF}: no parameter set.
inline constexpr uint32_t MDM_RESET_PARAMS = 0xBB3A;
// {modem, 0xFFFFFFFF}: the call starts.
inline constexpr uint32_t MDM_ANSWER = 0xBB03;
inline constexpr uint32_t MDM_ORIGINATE = 0xBB04;
inline constexpr uint32_t MDM_ORIGINATE_FAX = 0xBB40;
using MdmRecord = Record<8>;
namespace Mdm {
inline constexpr size_t modem = 0;
inline constexpr size_t value = 4;  // the data-mode mask, or mdm_all
}  // namespace Mdm
inline constexpr uint32_t mdm_all = 0xFFFFFFFF;
// {modem, index, value}.
inline constexpr uint32_t MDM_SET_PARAM = 0xBB38;
using MdmParamRecord = Record<12>;
namespace MdmParam {
inline constexpr size_t modem = 0;
inline constexpr size_t index = 4;
inline constexpr size_t value = 8;
}  // namespace MdmParam

}  // namespace Device
