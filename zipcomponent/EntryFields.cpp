#include "zipcomponent/EntryFields.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <sys/stat.h>

namespace zipcomponent {

namespace {

bool SetField(zip_t* za, zip_uint64_t index, zip_uint16_t id, const zip_uint8_t* data, zip_uint16_t length,
              zip_flags_t where) {
    const zip_int16_t existing = zip_file_extra_fields_count_by_id(za, index, id, where);
    const zip_uint16_t slot = existing > 0 ? 0 : ZIP_EXTRA_FIELD_NEW;
    return zip_file_extra_field_set(za, index, id, slot, data, length, where) == 0;
}

// The NTFS field (0x000a) that 7-Zip and Windows tools write: attribute
// 1 holds the modification time in 100 ns steps since 1601.
bool GetNtfsTime(zip_t* za, zip_uint64_t index, time_t& out) {
    zip_uint16_t length = 0;
    const zip_uint8_t* field = zip_file_extra_field_get_by_id(za, index, kNtfsTimesId, 0, &length, ZIP_FL_CENTRAL);
    if (!field) field = zip_file_extra_field_get_by_id(za, index, kNtfsTimesId, 0, &length, ZIP_FL_LOCAL);
    if (!field) return false;
    for (size_t at = 4; at + 4 <= length;) {
        const unsigned tag = field[at] | (field[at + 1] << 8);
        const size_t size = field[at + 2] | (field[at + 3] << 8);
        at += 4;
        if (at + size > length) return false;
        if (tag == 1 && size >= 8) {
            uint64_t ticks = 0;
            for (int i = 0; i < 8; ++i) ticks |= static_cast<uint64_t>(field[at + i]) << (8 * i);
            constexpr uint64_t kUnixEpochTicks = 116444736000000000ULL;
            if (ticks < kUnixEpochTicks) return false;
            out = static_cast<time_t>((ticks - kUnixEpochTicks) / 10000000ULL);
            return true;
        }
        at += size;
    }
    return false;
}

}  // namespace

time_t StorableTime(time_t t) {
    return std::clamp<time_t>(t, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max());
}

time_t TimeFromField(uint32_t field, int dosYear) {
    const auto asSigned = static_cast<int32_t>(field);
    return asSigned < 0 && dosYear >= 2038 ? static_cast<time_t>(field) : static_cast<time_t>(asSigned);
}

bool SetEntryTime(zip_t* za, zip_uint64_t index, time_t mtime) {
    const time_t stored = StorableTime(mtime);
    const auto t = static_cast<uint32_t>(stored);
    const zip_uint8_t field[5] = {1, static_cast<zip_uint8_t>(t), static_cast<zip_uint8_t>(t >> 8),
                                  static_cast<zip_uint8_t>(t >> 16), static_cast<zip_uint8_t>(t >> 24)};
    bool ok = zip_file_set_mtime(za, index, stored, 0) == 0;
    ok = SetField(za, index, kExtendedTimestampId, field, sizeof field, ZIP_FL_LOCAL) && ok;
    ok = SetField(za, index, kExtendedTimestampId, field, sizeof field, ZIP_FL_CENTRAL) && ok;
    return ok;
}

time_t GetEntryTime(zip_t* za, zip_uint64_t index) {
    zip_stat_t st;
    const bool dosKnown = zip_stat_index(za, index, 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME);
    zip_uint16_t length = 0;
    const zip_uint8_t* field =
        zip_file_extra_field_get_by_id(za, index, kExtendedTimestampId, 0, &length, ZIP_FL_CENTRAL);
    if (!field) field = zip_file_extra_field_get_by_id(za, index, kExtendedTimestampId, 0, &length, ZIP_FL_LOCAL);
    if (field && length >= 5 && (field[0] & 1)) {
        const uint32_t t = field[1] | (field[2] << 8) | (field[3] << 16) | (static_cast<uint32_t>(field[4]) << 24);
        std::tm local {};
        if (dosKnown) localtime_r(&st.mtime, &local);
        return TimeFromField(t, dosKnown ? local.tm_year + 1900 : 0);
    }
    time_t ntfs = 0;
    if (GetNtfsTime(za, index, ntfs)) return ntfs;
    return dosKnown ? st.mtime : 0;
}

zip_flags_t NameEncoding(std::string_view name) {
    return platform::IsValidUtf8(name) ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437;
}

zip_flags_t NameFlags(zip_t* za, zip_uint64_t index) {
    zip_uint8_t opsys = 0;
    zip_uint32_t external = 0;
    const bool unix = zip_file_get_external_attributes(za, index, 0, &opsys, &external) == 0 && opsys == ZIP_OPSYS_UNIX;
    return unix ? ZIP_FL_ENC_RAW : 0;
}

bool SetBasePath(zip_t* za, zip_uint64_t index, const std::string& basePath) {
    return SetField(za, index, kBasePathId, reinterpret_cast<const zip_uint8_t*>(basePath.data()),
                    static_cast<zip_uint16_t>(basePath.size()), ZIP_FL_CENTRAL);
}

std::string GetBasePath(zip_t* za, zip_uint64_t index) {
    zip_uint16_t length = 0;
    const zip_uint8_t* field = zip_file_extra_field_get_by_id(za, index, kBasePathId, 0, &length, ZIP_FL_CENTRAL);
    return field ? std::string(reinterpret_cast<const char*>(field), length) : std::string();
}

bool SetUnixAttributes(zip_t* za, zip_uint64_t index, uint32_t mode) {
    const bool folder = S_ISDIR(mode);
    const uint32_t external = ((mode & (S_IFMT | 07777)) << 16) | (folder ? 0x10 : 0);
    return zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_UNIX, external) == 0;
}

uint32_t GetUnixMode(zip_t* za, zip_uint64_t index) {
    zip_uint8_t opsys = 0;
    zip_uint32_t external = 0;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &external) != 0 || opsys != ZIP_OPSYS_UNIX) return 0;
    return external >> 16;
}

bool SetOwner(zip_t* za, zip_uint64_t index, uint32_t owner, uint32_t group) {
    zip_uint8_t field[11] = {1, 4};
    for (int i = 0; i < 4; ++i) field[2 + i] = static_cast<zip_uint8_t>(owner >> (8 * i));
    field[6] = 4;
    for (int i = 0; i < 4; ++i) field[7 + i] = static_cast<zip_uint8_t>(group >> (8 * i));
    const bool local = SetField(za, index, kUnixOwnerId, field, sizeof field, ZIP_FL_LOCAL);
    return SetField(za, index, kUnixOwnerId, field, sizeof field, ZIP_FL_CENTRAL) && local;
}

bool GetOwner(zip_t* za, zip_uint64_t index, uint32_t& owner, uint32_t& group) {
    zip_uint16_t length = 0;
    const zip_uint8_t* field = zip_file_extra_field_get_by_id(za, index, kUnixOwnerId, 0, &length, ZIP_FL_CENTRAL);
    if (!field) field = zip_file_extra_field_get_by_id(za, index, kUnixOwnerId, 0, &length, ZIP_FL_LOCAL);
    // Version 1, then a size and a little-endian number for each.
    auto number = [&](size_t& at, uint32_t& out) {
        if (at >= length) return false;
        const size_t size = field[at++];
        if (size == 0 || size > 8 || at + size > length) return false;
        uint64_t value = 0;
        for (size_t i = 0; i < size; ++i) value |= static_cast<uint64_t>(field[at + i]) << (8 * i);
        at += size;
        if (value > UINT32_MAX) return false;
        out = static_cast<uint32_t>(value);
        return true;
    };
    size_t at = 1;
    return field && length >= 1 && field[0] == 1 && number(at, owner) && number(at, group);
}

}  // namespace zipcomponent
