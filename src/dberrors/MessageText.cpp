#include "dberrors/MessageText.h"

#include "core/Encoding.h"

namespace dberrors {

std::size_t Pos(TTextView sub, TTextView text, std::size_t from) {
    if (sub.empty() || from < 1 || from > text.size())
        return 0;
    const std::size_t at = text.find(sub, from - 1);
    return at == TTextView::npos ? 0 : at + 1;
}

TText Copy(TTextView text, long long index, long long count) {
    if (index < 1)
        index = 1;
    const auto size = static_cast<long long>(text.size());
    if (count <= 0 || index > size)
        return {};
    return TText(text.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count)));
}

std::vector<TText> SplitLines(TTextView text) {
    std::vector<TText> lines;
    TText line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || c == U'\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

bool OpensWith(TTextView text, TTextView lead) {
    if (lead.empty() || text.size() < lead.size())
        return false;
    return UpperChar(text[0]) == UpperChar(lead[0]) && text.substr(1, lead.size() - 1) == lead.substr(1);
}

} // namespace dberrors
