#include "fbclient/FbParams.h"

#include "core/Exception.h"
#include "fbclient/FbErrors.h"

#include <cstdint>
#include <limits>

const std::array<const char*, kDpbNameCount> kDpbNames = {
    "cdd_pathname",
    "allocation",
    "journal",
    "page_size",
    "num_buffers",
    "buffer_length",
    "debug",
    "garbage_collect",
    "verify",
    "sweep",
    "enable_journal",
    "disable_journal",
    "dbkey_scope",
    "number_of_users",
    "trace",
    "no_garbage_collect",
    "damaged",
    "license",
    "sys_user_name",
    "encrypt_key",
    "activate_shadow",
    "sweep_interval",
    "delete_shadow",
    "force_write",
    "begin_log",
    "quit_log",
    "no_reserve",
    "user_name",
    "password",
    "password_enc",
    "sys_user_name_enc",
    "interp",
    "online_dump",
    "old_file_size",
    "old_num_files",
    "old_file",
    "old_start_page",
    "old_start_seqno",
    "old_start_file",
    "drop_walfile",
    "old_dump_id",
    "wal_backup_dir",
    "wal_chkptlen",
    "wal_numbufs",
    "wal_bufsize",
    "wal_grp_cmt_wait",
    "lc_messages",
    "lc_ctype",
    "cache_manager",
    "shutdown",
    "online",
    "shutdown_delay",
    "reserved",
    "overwrite",
    "sec_attach",
    "disable_wal",
    "connect_timeout",
    "dummy_packet_interval",
    "gbak_attach",
    "sql_role_name",
    "set_page_buffers",
    "working_directory",
    "sql_dialect",
    "set_db_readonly",
    "set_db_sql_dialect",
    "gfix_attach",
    "gstat_attach",
    "gbak_ods_version",
    "gbak_ods_minor_version",
    "set_group_commit",
    "gbak_validate",
    "client_interbase_var",
    "admin_option",
    "flush_interval",
    "instance_name",
    "old_overwrite",
    "archive_database",
    "archive_journals",
    "archive_sweep",
    "archive_dumps",
    "archive_recover",
    "recover_until",
    "force",
};

const std::array<const char*, kTpbNameCount> kTpbNames = {
    "consistency",      "concurrency",  "shared",         "protected",  "exclusive",   "wait",
    "nowait",           "read",         "write",          "lock_read",  "lock_write",  "verb_time",
    "commit_time",      "ignore_limbo", "read_committed", "autocommit", "rec_version", "no_rec_version",
    "restart_requests", "no_auto_undo", "no_savepoint",
};

// ---- TFbStrings

std::string TFbStrings::Text() const {
    std::string text;
    for (const auto& line : FLines)
        text += line + "\n";
    return text;
}

void TFbStrings::Changing() {
    if (OnChanging)
        OnChanging();
}

void TFbStrings::Changed() {
    if (OnChange)
        OnChange();
}

void TFbStrings::Add(std::string line) {
    Changing();
    FLines.push_back(std::move(line));
    Changed();
}

void TFbStrings::Insert(std::size_t index, std::string line) {
    if (index > FLines.size())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    Changing();
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
    Changed();
}

void TFbStrings::Put(std::size_t index, std::string line) {
    if (index >= FLines.size())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    Changing();
    FLines[index] = std::move(line);
    Changed();
}

void TFbStrings::Delete(std::size_t index) {
    if (index >= FLines.size())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    Changing();
    FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(index));
    Changed();
}

void TFbStrings::Clear() {
    if (FLines.empty())
        return;
    Changing();
    FLines.clear();
    Changed();
}

void TFbStrings::Assign(std::vector<std::string> lines) {
    Changing();
    FLines = std::move(lines);
    Changed();
}

void TFbStrings::SetText(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    Assign(std::move(lines));
}

// ---- helpers

std::string FbTrim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return std::string(text.substr(begin, end - begin));
}

int FbStrToInt(std::string_view text) {
    const std::string trimmed = FbTrim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == '-' || trimmed[i] == '+'))
        negative = trimmed[i++] == '-';
    long long value = 0;
    const std::size_t firstDigit = i;
    for (; i < trimmed.size(); ++i) {
        if (trimmed[i] < '0' || trimmed[i] > '9')
            break;
        value = value * 10 + (trimmed[i] - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (i == firstDigit || i != trimmed.size() || value < std::numeric_limits<int>::min() ||
        value > std::numeric_limits<int>::max())
        throw Exception("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<int>(value);
}

namespace {

void LowerAscii(std::string& text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

// Position (1-based) of `name` in a name table, 0 when it is not there. The names are lower case
// already, so the table is searched as it stands.
template <std::size_t N> int FindCode(const std::array<const char*, N>& table, const std::string& name) {
    for (std::size_t i = 0; i < N; ++i)
        if (name == table[i])
            return static_cast<int>(i) + 1;
    return 0;
}

// Appends item / length / bytes; refuses a value its length byte cannot describe instead of
// cutting it.
class TParamBlockBuilder {
public:
    explicit TParamBlockBuilder(const char* kind) : FKind(kind) {}
    void Byte(int value) { FBytes += static_cast<char>(static_cast<std::uint8_t>(value)); }
    void Item(int code) { Byte(code); }
    void StringItem(int code, const std::string& itemName, std::string_view value) {
        if (value.size() > 255)
            throw Exception(FbFormat("%s item isc_%s_%s: the value is %d bytes long, more than 255.",
                                     {FKind, LowerKind(), itemName, static_cast<long long>(value.size())}));
        Byte(code);
        Byte(static_cast<int>(value.size()));
        FBytes.append(value);
    }
    std::string Take() { return std::move(FBytes); }

private:
    std::string LowerKind() const {
        std::string kind = FKind;
        LowerAscii(kind);
        return kind;
    }
    const char* FKind;
    std::string FBytes;
};

} // namespace

void SplitParamLine(const std::string& line, std::string_view prefix, std::string& name, std::string& value) {
    const std::size_t eq = line.find('=');
    name = line.substr(0, eq);
    value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    LowerAscii(name);
    if (name.compare(0, prefix.size(), prefix) == 0)
        name.erase(0, prefix.size());
}

std::string GenerateDPB(std::vector<std::string>& lines) {
    TParamBlockBuilder dpb("DPB");
    dpb.Byte(1); // isc_dpb_version1
    for (auto& line : lines) {
        line = FbTrim(line);
        if (line.empty())
            continue;
        std::string name, value;
        SplitParamLine(line, "isc_dpb_", name, value);
        const int code = FindCode(kDpbNames, name);
        switch (code) {
        case 5:
        case 9:
        case 13:
        case 17:
        case 24:
        case 27:
        case 33:
        case 34:
        case 54:
        case 57:
        case 58:
            // One value byte: the integer cut to its low byte (num_buffers=300 sends 44).
            dpb.Item(code);
            dpb.Byte(1);
            dpb.Byte(FbStrToInt(value) & 0xFF);
            break;
        case 8:
        case 16:
        case 21:
        case 23:
        case 25:
        case 26:
            dpb.Item(code);
            dpb.Byte(1);
            dpb.Byte(0);
            break;
        case 10:
            dpb.Item(code);
            dpb.Byte(1);
            dpb.Byte(2);
            break;
        case 22: {
            const auto interval = static_cast<std::uint32_t>(FbStrToInt(value));
            dpb.Item(code);
            dpb.Byte(4);
            for (int shift = 0; shift < 32; shift += 8)
                dpb.Byte(static_cast<int>((interval >> shift) & 0xFF));
            break;
        }
        case 18:
        case 19:
        case 20:
        case 28:
        case 29:
        case 30:
        case 36:
        case 47:
        case 48:
        case 60:
            dpb.StringItem(code, name, value);
            break;
        case 75:
            // InterBase's instance_name. Firebird has no such item: its code 75 is
            // isc_dpb_trusted_role, so the byte would ask the server for something else.
            FbError(feDPBConstantUnknown, {name});
        case 63: {
            // The dialect travels as one byte holding the digit's value, not the digit's character.
            if (value.empty())
                throw Exception("DPB item isc_dpb_sql_dialect needs a value.");
            value[0] = static_cast<char>(value[0] - '0');
            dpb.StringItem(code, name, value);
            break;
        }
        case 0:
            FbError(feDPBConstantUnknown, {name});
        default:
            FbError(feDPBConstantNotSupported, {kDpbNames[code - 1]});
        }
    }
    return dpb.Take();
}

std::string GenerateTPB(std::vector<std::string>& lines) {
    if (lines.empty())
        return {};
    TParamBlockBuilder tpb("TPB");
    tpb.Byte(3); // isc_tpb_version3
    for (auto& line : lines) {
        line = FbTrim(line);
        if (line.empty())
            continue;
        std::string name, value;
        SplitParamLine(line, "isc_tpb_", name, value);
        const int code = FindCode(kTpbNames, name);
        switch (code) {
        case 10:
        case 11:
            tpb.StringItem(code, name, value);
            break;
        case 12:
        case 13:
        case 16:
        case 19:
            FbError(feTPBConstantNotSupported, {kTpbNames[code - 1]});
        case 0:
        case 21:
            // 21 is InterBase's no_savepoint. Firebird has no such option: its code 21 is
            // isc_tpb_lock_timeout, which the server would read with a value that is not there.
            FbError(feTPBConstantUnknown, {name});
        default:
            tpb.Item(code);
        }
    }
    return tpb.Take();
}
