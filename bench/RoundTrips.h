#pragma once
// Round trips counted from a packet capture of the loopback (tcpdump -w): a round trip is a turn of
// the conversation, the client sending after the server spoke (or first). Requests the client sends
// in one go (a deferred free of a statement riding with the next call) count once, as they cost one
// wait for the server.

#include <cstdint>
#include <string>
#include <vector>

struct TCapturedSegment {
    std::int64_t TimeNs;
    bool FromServer; // sent from the server's port
};

// The TCP segments that carry data to or from `serverPort`, in capture order. Throws with a clear
// message when the file is not a capture this reader knows (pcap, Ethernet or Linux cooked link).
std::vector<TCapturedSegment> ReadCapture(const std::string& path, int serverPort);

// The turns of the client within [startNs, endNs].
int CountRoundTrips(const std::vector<TCapturedSegment>& segments, std::int64_t startNs, std::int64_t endNs);
