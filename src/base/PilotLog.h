// PilotLog: the short lines that tell the pilot what the bridge did, written by the plug-in to X-Plane's
// Log.txt. Any thread adds lines; they wait here until the simulator's thread takes them, since only that
// thread may call the simulator. Lines that peers cause (an app logging in, refused, leaving) are limited
// to a few a second, so hostile peers cannot flood the log: the rest are counted and summed up in one line.
// Nothing is ever written anywhere by this class; a program that never takes the lines keeps at most the
// newest MostWaitingLines of them.
#pragma once

#include <string>
#include <vector>

namespace PilotLog {

inline constexpr size_t MostWaitingLines = 200;
inline constexpr int PeerLinesPerSecond = 5;

void write(const std::string& line);
// A line a peer caused, subject to the rate limit.
void writeForPeer(const std::string& line);
// The lines waiting, oldest first (with the summary of the peer lines held back, once their second is
// over), and forgets them.
std::vector<std::string> take();

}  // namespace PilotLog
