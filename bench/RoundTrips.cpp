#include "RoundTrips.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

std::uint32_t Little32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

unsigned Big16(const unsigned char* p) {
    return static_cast<unsigned>(p[0] << 8 | p[1]);
}

} // namespace

std::vector<TCapturedSegment> ReadCapture(const std::string& path, int serverPort) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 24)
        throw std::runtime_error(path + ": no capture");
    const std::uint32_t magic = Little32(data);
    if (magic != 0xA1B2C3D4 && magic != 0xA1B23C4D)
        throw std::runtime_error(path + ": not a little-endian pcap file");
    const bool nanoseconds = magic == 0xA1B23C4D;
    const std::uint32_t link = Little32(data + 20);
    std::size_t linkHeader = 0;
    if (link == 1)
        linkHeader = 14; // Ethernet, which Linux gives for the loopback
    else if (link == 113)
        linkHeader = 16; // Linux cooked capture
    else
        throw std::runtime_error(path + ": link type " + std::to_string(link) + " is not read here");

    std::vector<TCapturedSegment> segments;
    for (std::size_t at = 24; at + 16 <= bytes.size();) {
        const std::uint32_t seconds = Little32(data + at);
        const std::uint32_t fraction = Little32(data + at + 4);
        const std::uint32_t captured = Little32(data + at + 8);
        const unsigned char* packet = data + at + 16;
        at += 16 + captured;
        if (at > bytes.size() || captured < linkHeader + 20)
            break;
        const unsigned char* ip = packet + linkHeader;
        const std::size_t ipRoom = captured - linkHeader;
        if ((ip[0] >> 4) != 4 || ip[9] != 6)
            continue; // IPv4 and TCP only: the server listens on 127.0.0.1
        const std::size_t ipHeader = static_cast<std::size_t>(ip[0] & 0x0F) * 4;
        if (ipRoom < ipHeader + 20)
            continue;
        const unsigned char* tcp = ip + ipHeader;
        const std::size_t tcpHeader = static_cast<std::size_t>(tcp[12] >> 4) * 4;
        const long payload = static_cast<long>(Big16(ip + 2)) - static_cast<long>(ipHeader + tcpHeader);
        if (payload <= 0)
            continue;
        const int source = static_cast<int>(Big16(tcp));
        const int target = static_cast<int>(Big16(tcp + 2));
        if (source != serverPort && target != serverPort)
            continue;
        const std::int64_t time = static_cast<std::int64_t>(seconds) * 1000000000 +
                                  static_cast<std::int64_t>(fraction) * (nanoseconds ? 1 : 1000);
        segments.push_back({time, source == serverPort});
    }
    return segments;
}

int CountRoundTrips(const std::vector<TCapturedSegment>& segments, std::int64_t startNs, std::int64_t endNs) {
    int turns = 0;
    bool serverSpoke = true;
    for (const TCapturedSegment& segment : segments) {
        if (segment.TimeNs < startNs || segment.TimeNs > endNs)
            continue;
        if (!segment.FromServer && serverSpoke)
            ++turns;
        serverSpoke = segment.FromServer;
    }
    return turns;
}
