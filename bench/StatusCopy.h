#pragma once
// A status vector kept past the call that filled it. The client library's vector points at texts the
// library owns and reuses on its next calls; the copy holds its own texts, so that the same server
// error can be interpreted and translated any number of times.

#include <ibase.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

class TBenchStatusCopy {
public:
    TBenchStatusCopy() = default;
    explicit TBenchStatusCopy(const ISC_STATUS* status) {
        for (const ISC_STATUS* p = status; *p != isc_arg_end;) {
            const ISC_STATUS kind = *p++;
            FVector.push_back(kind);
            switch (kind) {
            case isc_arg_string:
            case isc_arg_interpreted:
            case isc_arg_sql_state:
                FVector.push_back(Keep(reinterpret_cast<const char*>(*p++)));
                break;
            case isc_arg_cstring: {
                const auto length = static_cast<std::size_t>(*p++);
                FTexts.emplace_back(reinterpret_cast<const char*>(*p++), length);
                FVector.push_back(static_cast<ISC_STATUS>(length));
                FVector.push_back(reinterpret_cast<ISC_STATUS>(FTexts.back().c_str()));
                break;
            }
            default: // isc_arg_gds, isc_arg_number, isc_arg_warning, ...: a value
                FVector.push_back(*p++);
                break;
            }
        }
        FVector.push_back(isc_arg_end);
    }
    // Copies may not share texts with the original: a copy is made afresh.
    TBenchStatusCopy(const TBenchStatusCopy& other) : TBenchStatusCopy(other.Data()) {}
    TBenchStatusCopy& operator=(const TBenchStatusCopy& other) {
        if (this != &other)
            *this = TBenchStatusCopy(other.Data());
        return *this;
    }
    TBenchStatusCopy(TBenchStatusCopy&&) = default; // a deque moves its elements in place
    TBenchStatusCopy& operator=(TBenchStatusCopy&&) = default;

    bool Empty() const noexcept { return FVector.size() < 2; }
    // The server's first error code.
    ISC_STATUS Code() const noexcept { return Empty() ? 0 : FVector[1]; }
    const ISC_STATUS* Data() const noexcept { return FVector.data(); }
    // Into a vector of the client's size (ISC_STATUS_LENGTH entries), as a failed call leaves it.
    void CopyTo(ISC_STATUS* status) const noexcept {
        std::memset(status, 0, sizeof(ISC_STATUS) * ISC_STATUS_LENGTH);
        std::memcpy(status, FVector.data(),
                    sizeof(ISC_STATUS) * std::min<std::size_t>(FVector.size(), ISC_STATUS_LENGTH - 1));
    }

private:
    ISC_STATUS Keep(const char* text) {
        FTexts.emplace_back(text ? text : "");
        return reinterpret_cast<ISC_STATUS>(FTexts.back().c_str());
    }

    std::vector<ISC_STATUS> FVector;
    std::deque<std::string> FTexts; // never reallocates what it holds
};
