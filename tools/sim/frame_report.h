#pragma once

// How the simulator shows what the transmitter received: one line per event,
// as readable text or as one JSON object.

#include "link/frame_parser.h"

#include <cstddef>
#include <string>

namespace pelmora::tools::sim {

// No line ends in either form; the caller adds them.
std::string eventLine(const link::FrameEvent& event, std::size_t maxFrameBytes);
std::string eventJson(const link::FrameEvent& event, std::size_t maxFrameBytes);

}  // namespace pelmora::tools::sim
