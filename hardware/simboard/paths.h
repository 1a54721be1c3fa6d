#pragma once
// Where the simulated board keeps its description and its control socket,
// under MOBREL_ROOT like every fixed path.

namespace SimBoard {

inline constexpr char description_path[] = "/simboard/board.conf";
inline constexpr char control_path[] = "/simboard/control.sock";

}  // namespace SimBoard
